#pragma once

#include "toolkit/nonclient.h"
#include "toolkit/nonclientpaint.h"
#include "toolkit/wincontrol.h"

#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QRegion>

#include <memory>
#include <optional>

class QMenu;
class QMouseEvent;
class QWindow;
class QPainter;

namespace darvolt {

// The program's top-level windows. A TForm is a frameless window that draws
// its own frame and title band with the classic metrics (metrics.h): small
// icon, title, the buttons its BorderStyle and BorderIcons call for, and a
// band that moves the window when dragged. Its non-client painting,
// activation and clicks travel as messages (WM_NCPAINT with the region to
// paint, WM_NCACTIVATE, WM_NCHITTEST, WM_NC*BUTTON*, WM_SYSCOMMAND) through
// the window procedure, so a component can draw the title band itself
// (TRxGradientCaption does).
//
// The client area is the child widget Client(): give the window its layout
// by letting a Designer form fill it. The form then takes the layout's size
// as its client size, and the layout's window title and icon as its own:
//
//     class TAboutBox : public TForm {
//     public:
//         explicit TAboutBox(QWidget *parent = nullptr) : TForm(parent) {
//             setBorderStyle(bsDialog);
//             setBorderIcons({});
//             ui.setupUi(Client());     // client 313 x 203, "About Darvolt"
//         }
//     private:
//         Ui::TAboutBox ui;
//     };
//
// Everything outside the client area is kept in an image of its own (the
// window's "device context", TWindowDC), so that it can be drawn at any time,
// not only while Qt paints; Qt's paint events only copy it to the screen.
class TForm : public TWinControl
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QIcon Icon READ Icon WRITE setIcon)
    Q_PROPERTY(FormTypes::TFormBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(FormTypes::TBorderIcons BorderIcons READ BorderIcons WRITE setBorderIcons)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE setClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE setClientHeight)
    Q_PROPERTY(bool Active READ Active NOTIFY ActiveChanged)

public:
    explicit TForm(QWidget *parent = nullptr);
    ~TForm() override;

    // The widget that holds the client area; what setupUi fills.
    QWidget *Client() const { return m_client; }

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString &caption);
    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    TFormBorderStyle BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return m_borderIcons; }
    void setBorderIcons(TBorderIcons icons);
    int ClientWidth() const { return m_client->width(); }
    void setClientWidth(int width);
    int ClientHeight() const { return m_client->height(); }
    void setClientHeight(int height);
    void setClientSize(QSize size);

    // Whether the frame is drawn active: the last WM_NCACTIVATE the form's
    // own procedure handled.
    bool Active() const { return m_ncActive; }

    // The window rectangle in screen coordinates. While a mouse event is
    // handled, its corner is where that event proves the window to be.
    QRect WindowRect() const;
    // Where the parts of the non-client area lie now, in window coordinates.
    TNonClientLayout NonClientLayout() const;

    // Marks part of the non-client area (window coordinates) for repainting;
    // the window receives WM_NCPAINT for it before its next paint.
    void InvalidateNonClient(const QRegion &region);
    void InvalidateNonClient();
    // Sends the pending WM_NCPAINT now.
    void FlushNonClient();

    // The whole window, frame included, as it would appear on screen.
    QImage RenderWindow();

    // Ends what the mouse is doing in the non-client area (a pressed title
    // button, a move).
    void SendCancelMode();

    // The system menu, or null when the window has none (no system icon).
    QMenu *SystemMenu();
    bool HasSystemMenu() const;
    // Opens the system menu where a click on the band's icon opens it, its
    // first command highlighted, as the keyboard opens it. False when the
    // window has no system menu.
    bool PopupSystemMenu();

Q_SIGNALS:
    void ActiveChanged(bool active);

protected:
    void WndProc(messages::TMessage &message) override;
    void WindowCreated() override;
    // Adds a window's own commands to its system menu, above Close; the
    // menu is built afresh every time it opens.
    virtual void AddSystemMenuItems(QMenu *menu);

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    friend class TWindowDC;

    TNonClientState NonClientState() const;
    void ApplyBorder();
    void SyncClientSize();
    void LayoutClient();
    void EnsureSurface();
    QPainter *BeginWindowPaint();
    void EndWindowPaint();
    messages::LRESULT HitTestAt(QPoint globalPos);
    static QPoint EventOrigin(const QMouseEvent *event);
    QWindow *SystemDragWindow();
    void BeginDrag(QPoint global);
    QPoint SystemMenuPlace() const;

    void WMNCPaint(messages::TMessage &message);
    void WMNCActivate(messages::TMessage &message);
    void WMNCHitTest(messages::TMessage &message);
    void WMNCLButtonDown(messages::TMessage &message);
    void WMNCLButtonDblClk(messages::TMessage &message);
    void WMNCRButtonDown(messages::TMessage &message);
    void WMNCRButtonUp(messages::TMessage &message);
    void WMSysCommand(messages::TMessage &message);

    QWidget *m_client = nullptr;
    QIcon m_icon;
    TFormBorderStyle m_borderStyle = bsSizeable;
    TBorderIcons m_borderIcons = biSystemMenu | biMinimize | biMaximize;
    bool m_ncActive = false;

    QImage m_surface;
    QRegion m_ncDirty;
    std::unique_ptr<QPainter> m_dcPainter;
    int m_dcDepth = 0;
    bool m_inPaintEvent = false;
    bool m_syncingSize = false;
    QSize m_clientSizeSeen;  // the client size the window was last fitted to

    messages::LRESULT m_trackedButton = messages::HTNOWHERE;  // title button held down
    bool m_trackedInside = false;
    messages::LRESULT m_dragHit = messages::HTNOWHERE;        // band or sizing edge pressed, not dragged yet
    QPoint m_dragStart;                   // where, on the screen
    bool m_manualMove = false;            // moving without the window manager
    QPoint m_moveOffset;
    bool m_systemMenuArmed = false;
    QPointer<QMenu> m_systemMenu;
    // The window's corner on the screen according to the mouse event being
    // handled; empty outside mouse events.
    std::optional<QPoint> m_eventOrigin;
};

// The form's non-client image for drawing, as long as this object lives;
// what is drawn reaches the screen afterwards. Canvas() is null when the
// form has no size yet.
class TWindowDC
{
public:
    explicit TWindowDC(TForm *form);
    ~TWindowDC();
    TWindowDC(const TWindowDC &) = delete;
    TWindowDC &operator=(const TWindowDC &) = delete;

    QPainter *Canvas() const { return m_painter; }

private:
    QPointer<TForm> m_form;
    QPainter *m_painter = nullptr;
};

} // namespace darvolt
