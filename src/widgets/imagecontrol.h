#pragma once

#include "graphics/colors.h"

#include <QList>
#include <QRgb>
#include <QWidget>

#include <exception>

class QPainter;

namespace darvolt {

class TGIFImage;

// A picture control without a window of its own: it draws itself in the
// colour of its parent, composes its face off-screen and copies it in one
// go, and knows when it is painting (RefreshPicture needs that) and when it
// is being read from a window layout (a picture read with the layout must
// not resize it).
//
// Derived classes draw the picture in PaintPicture; the paint around it
// keeps the painting flag and, at design time, the outline of a control
// whose picture would not show it.
class TRxImageControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE setShowHint)
    Q_PROPERTY(bool ParentShowHint READ ParentShowHint WRITE setParentShowHint)

public:
    explicit TRxImageControl(QWidget *parent = nullptr);
    ~TRxImageControl() override;

    // Not a property of its own: always the parent's colour.
    TColor Color() const;

    // Tooltips show when ShowHint is on; with ParentShowHint the parent's
    // ShowHint property (when it has one) decides. Setting ShowHint turns
    // ParentShowHint off.
    bool ShowHint() const;
    void setShowHint(bool value);
    bool ParentShowHint() const { return m_parentShowHint; }
    void setParentShowHint(bool value);

    // The control's own visibility flag (true unless hidden explicitly),
    // whether or not its window is on screen.
    bool Visible() const;

    // True while the control paints itself.
    bool Painting() const { return m_drawing; }

    // While the control is being read from a window layout. Calls nest.
    bool Loading() const { return m_loading > 0; }
    void BeginLoading();
    void EndLoading();

    // Set by a form designer that shows the control for editing.
    bool Designing() const { return m_designing; }
    void setDesigning(bool value);

    // The graphic whose palette and transparency matter; not owned.
    TGIFImage *PaletteGraphic() const { return m_graphic; }
    void setPaletteGraphic(TGIFImage *graphic) { m_graphic = graphic; }

    // The palette query: the colours the control wants the display to
    // realize, none by default.
    virtual QList<QRgb> GetPalette();

    // Tells the active form that this control's palette should be realized
    // (at once while painting, else through the message queue). False, with
    // nothing sent, unless the control is visible, not loading, has a
    // palette graphic with a palette, and sits on the active form.
    bool AnnouncePalette();

    // After a change of the picture: invalidate the control (unless it is
    // painting), and let the parent update once a palette was announced.
    void RefreshPicture();

    // Paints into `target`, in the control's coordinates, what lies under
    // the control: the parent's own content, then every visible sibling
    // without a window of its own that comes before the control and
    // overlaps it. Siblings with windows (TWinControl) are left out.
    static void PaintParentBehind(QWidget *control, QPainter &target);

Q_SIGNALS:
    void OnClick(QObject *Sender);
    void OnDblClick(QObject *Sender);
    void OnMouseDown(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseMove(QObject *Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseUp(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

protected:
    // Draws the picture over the whole client area.
    virtual void PaintPicture(QPainter &painter) = 0;

    // Whether the display works with palettes (8 bits per pixel or fewer).
    // True-colour displays have no use for them.
    virtual bool PaletteDisplay() const;

    // The picture was replaced: a paint error of the new one is reported
    // again.
    void PictureReplaced() { m_paintErrorReported = false; }

    // The click, after a press and release of the left button inside.
    virtual void Click();

    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void ReportPaintError(std::exception_ptr error);

    TGIFImage *m_graphic = nullptr;
    bool m_drawing = false;
    int m_loading = 0;
    bool m_designing = false;
    bool m_showHint = false;
    bool m_parentShowHint = true;
    bool m_pressed = false;
    bool m_paintErrorReported = false;
};

// Marks a control as being read from a layout for as long as it lives.
class TLoadingScope
{
public:
    explicit TLoadingScope(TRxImageControl &control) : m_control(control) { m_control.BeginLoading(); }
    ~TLoadingScope() { m_control.EndLoading(); }
    TLoadingScope(const TLoadingScope &) = delete;
    TLoadingScope &operator=(const TLoadingScope &) = delete;

private:
    TRxImageControl &m_control;
};

} // namespace darvolt
