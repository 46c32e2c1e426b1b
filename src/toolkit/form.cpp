#include "toolkit/form.h"

#include "graphics/colors.h"
#include "toolkit/drawutil.h"
#include "toolkit/systemmenukeys.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace darvolt {

using namespace messages;

TForm::TForm(QWidget *parent) : TWinControl(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, ColorToRGB(clBtnFace));
    setPalette(face);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Client"));
    m_client->setAutoFillBackground(true);
    m_client->installEventFilter(this);
    TSystemMenuKeys::Install();
    ApplyBorder();
}

TForm::~TForm()
{
    // WM_DESTROY must still reach this class's WndProc.
    BeginDestroy();
    m_dcPainter.reset();
}

void TForm::setCaption(const QString &caption)
{
    if (caption == windowTitle())
        return;
    setWindowTitle(caption); // repaints the band through changeEvent
}

void TForm::setIcon(const QIcon &icon)
{
    if (icon.cacheKey() == m_icon.cacheKey())
        return;
    m_icon = icon;
    setWindowIcon(icon);
    InvalidateNonClient(NonClientLayout().icon);
}

void TForm::setBorderStyle(TFormBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    ApplyBorder();
    // A new kind of frame is a new window, as far as the watchers go.
    RecreateWnd();
}

void TForm::setBorderIcons(TBorderIcons icons)
{
    if (icons == m_borderIcons)
        return;
    m_borderIcons = icons;
    ApplyBorder();
    RecreateWnd();
}

void TForm::setClientWidth(int width)
{
    setClientSize({width, ClientHeight()});
}

void TForm::setClientHeight(int height)
{
    setClientSize({ClientWidth(), height});
}

void TForm::setClientSize(QSize size)
{
    m_client->resize(size.expandedTo({0, 0}));
    SyncClientSize();
}

QRect TForm::WindowRect() const
{
    if (m_eventOrigin)
        return {*m_eventOrigin, size()};
    // Reparented by openbox before it was ever moved, the window is placed
    // at 0,0 in Qt's native window while the widget keeps where it was put;
    // once the window manager has moved it the two agree again.
    return {isWindow() ? pos() : mapToGlobal(QPoint(0, 0)), size()};
}

TNonClientLayout TForm::NonClientLayout() const
{
    return darvolt::NonClientLayout(size(), m_borderStyle, m_borderIcons);
}

TNonClientState TForm::NonClientState() const
{
    TNonClientState state;
    state.active = m_ncActive;
    state.caption = windowTitle();
    state.smallIcon = SmallIconFor(m_icon);
    state.pressed = m_trackedInside ? m_trackedButton : HTNOWHERE;
    state.maximized = isMaximized();
    return state;
}

void TForm::ApplyBorder()
{
    // The window is exactly the client area plus the frame; only sizing
    // borders let the user change that.
    const QMargins margins = NonClientMargins(m_borderStyle);
    const QSize total = m_client->size().grownBy(margins);
    m_clientSizeSeen = m_client->size();
    m_syncingSize = true;
    if (IsSizeable(m_borderStyle)) {
        setMinimumSize(QSize(margins.left() + margins.right(), margins.top() + margins.bottom()));
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(total);
    } else {
        setFixedSize(total);
    }
    m_syncingSize = false;
    LayoutClient();
    InvalidateNonClient();
}

void TForm::LayoutClient()
{
    const QRect client = NonClientLayout().client;
    if (m_client->geometry() != client) {
        m_syncingSize = true;
        m_client->setGeometry(client);
        m_syncingSize = false;
    }
    m_clientSizeSeen = m_client->size();
}

void TForm::WindowCreated()
{
    InvalidateNonClient();
}

void TForm::InvalidateNonClient(const QRegion &region)
{
    const QRegion nonClient = QRegion(rect()) - QRegion(NonClientLayout().client);
    const QRegion dirty = region & nonClient;
    if (dirty.isEmpty())
        return;
    m_ncDirty += dirty;
    update(dirty);
}

void TForm::InvalidateNonClient()
{
    InvalidateNonClient(QRegion(rect()));
}

void TForm::EnsureSurface()
{
    if (m_surface.size() == size())
        return;
    m_dcPainter.reset();
    m_dcDepth = 0;
    m_surface = QImage(size(), QImage::Format_RGB32);
    m_surface.fill(ColorToRGB(clBtnFace));
    m_ncDirty += QRegion(rect()) - QRegion(NonClientLayout().client);
}

void TForm::FlushNonClient()
{
    EnsureSurface();
    if (m_ncDirty.isEmpty() || m_surface.isNull())
        return;
    const QRegion region = m_ncDirty.translated(WindowRect().topLeft());
    m_ncDirty = QRegion();
    Deliver(WM_NCPAINT, RegionParam(&region));
}

QImage TForm::RenderWindow()
{
    SyncClientSize();
    FlushNonClient();
    return grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QPainter *TForm::BeginWindowPaint()
{
    EnsureSurface();
    if (m_surface.isNull())
        return nullptr;
    if (m_dcDepth++ == 0)
        m_dcPainter = std::make_unique<QPainter>(&m_surface);
    m_dcPainter->save();
    return m_dcPainter.get();
}

void TForm::EndWindowPaint()
{
    if (m_dcDepth == 0 || !m_dcPainter)
        return;
    m_dcPainter->restore();
    if (--m_dcDepth > 0)
        return;
    m_dcPainter.reset();
    // Inside a paint event the image is copied right after; elsewhere the
    // screen is told to fetch it.
    if (!m_inPaintEvent)
        update(QRegion(rect()) - QRegion(NonClientLayout().client));
}

void TForm::SyncClientSize()
{
    // A hidden widget hears of its new size only when shown, so a layout
    // that has just sized the client is looked for here as well: the client
    // size set by code wins over the window size.
    if (m_client->size() != m_clientSizeSeen)
        ApplyBorder();
}

bool TForm::event(QEvent *event)
{
    if (event->type() == QEvent::Show) {
        SyncClientSize();
        HandleNeeded();
    }
    return TWinControl::event(event);
}

void TForm::paintEvent(QPaintEvent *event)
{
    m_inPaintEvent = true;
    FlushNonClient();
    m_inPaintEvent = false;
    QPainter painter(this);
    CopyImageRegion(painter, event->region() - QRegion(NonClientLayout().client), m_surface);
}

void TForm::resizeEvent(QResizeEvent *event)
{
    TWinControl::resizeEvent(event);
    if (m_client->size() != m_clientSizeSeen)
        ApplyBorder();
    else
        LayoutClient();
    EnsureSurface();
    InvalidateNonClient();
}

void TForm::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ActivationChange:
        Deliver(WM_NCACTIVATE, isActiveWindow() ? 1 : 0);
        break;
    case QEvent::WindowTitleChange:
        InvalidateNonClient(NonClientLayout().captionRow);
        break;
    case QEvent::WindowStateChange:
        InvalidateNonClient();
        break;
    default:
        break;
    }
    TWinControl::changeEvent(event);
}

bool TForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client) {
        switch (event->type()) {
        case QEvent::Resize:
            // A layout that sets its own size sets the window's client size.
            if (!m_syncingSize)
                ApplyBorder();
            break;
        case QEvent::WindowTitleChange:
            setCaption(m_client->windowTitle());
            break;
        case QEvent::WindowIconChange:
            if (m_client->testAttribute(Qt::WA_SetWindowIcon))
                setIcon(m_client->windowIcon());
            break;
        default:
            break;
        }
    }
    return TWinControl::eventFilter(watched, event);
}

TWindowDC::TWindowDC(TForm *form) : m_form(form)
{
    if (m_form)
        m_painter = m_form->BeginWindowPaint();
}

TWindowDC::~TWindowDC()
{
    if (m_form && m_painter)
        m_form->EndWindowPaint();
}

} // namespace darvolt
