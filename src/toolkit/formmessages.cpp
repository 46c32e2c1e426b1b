// The form's own handling of its non-client messages, and the mouse events
// that become those messages.
#include "toolkit/form.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QWhatsThis>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace darvolt {

using namespace messages;

namespace {

LPARAM pointParam(QPoint global)
{
    return MakePointParam(global.x(), global.y());
}

Qt::Edges edgesFor(LRESULT hit)
{
    switch (hit) {
    case HTLEFT: return Qt::LeftEdge;
    case HTRIGHT: return Qt::RightEdge;
    case HTTOP: return Qt::TopEdge;
    case HTBOTTOM: return Qt::BottomEdge;
    case HTTOPLEFT: return Qt::TopEdge | Qt::LeftEdge;
    case HTTOPRIGHT: return Qt::TopEdge | Qt::RightEdge;
    case HTBOTTOMLEFT: return Qt::BottomEdge | Qt::LeftEdge;
    case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

Qt::CursorShape cursorFor(LRESULT hit)
{
    switch (hit) {
    case HTLEFT:
    case HTRIGHT: return Qt::SizeHorCursor;
    case HTTOP:
    case HTBOTTOM: return Qt::SizeVerCursor;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return Qt::SizeFDiagCursor;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return Qt::SizeBDiagCursor;
    default: return Qt::ArrowCursor;
    }
}

WPARAM commandFor(LRESULT hit, bool maximized)
{
    switch (hit) {
    case HTCLOSE: return SC_CLOSE;
    case HTMINBUTTON: return SC_MINIMIZE;
    case HTMAXBUTTON: return maximized ? SC_RESTORE : SC_MAXIMIZE;
    case HTHELP: return SC_CONTEXTHELP;
    default: return 0;
    }
}

} // namespace

void TForm::WndProc(TMessage &message)
{
    switch (message.Msg) {
    case WM_NCPAINT: WMNCPaint(message); break;
    case WM_NCACTIVATE: WMNCActivate(message); break;
    case WM_NCHITTEST: WMNCHitTest(message); break;
    case WM_NCLBUTTONDOWN: WMNCLButtonDown(message); break;
    case WM_NCLBUTTONDBLCLK: WMNCLButtonDblClk(message); break;
    case WM_NCRBUTTONDOWN: WMNCRButtonDown(message); break;
    case WM_NCRBUTTONUP: WMNCRButtonUp(message); break;
    case WM_SYSCOMMAND: WMSysCommand(message); break;
    case WM_CANCELMODE: SendCancelMode(); break;
    default: TWinControl::WndProc(message); break;
    }
}

void TForm::WMNCPaint(TMessage &message)
{
    TWindowDC dc(this);
    if (QPainter *painter = dc.Canvas()) {
        if (HRGN region = RegionFromParam(message.WParam))
            painter->setClipRegion(region->translated(-WindowRect().topLeft()));
        PaintNonClient(*painter, NonClientLayout(), NonClientState());
    }
    message.Result = 0;
}

void TForm::WMNCActivate(TMessage &message)
{
    const bool active = message.WParam != 0;
    const bool changed = active != m_ncActive;
    m_ncActive = active;
    // The title row is drawn straight away in its new colours, not through
    // WM_NCPAINT: whoever draws the band repaints it after this.
    TWindowDC dc(this);
    if (QPainter *painter = dc.Canvas())
        PaintCaptionRow(*painter, NonClientLayout(), NonClientState());
    message.Result = 1;
    if (changed)
        Q_EMIT ActiveChanged(active);
}

void TForm::WMNCHitTest(TMessage &message)
{
    const QPoint pos = PointFromParam(message.LParam) - WindowRect().topLeft();
    message.Result = NonClientHitTest(NonClientLayout(), pos);
}

void TForm::WMNCLButtonDown(TMessage &message)
{
    const auto hit = static_cast<LRESULT>(message.WParam);
    const QPoint global = PointFromParam(message.LParam);
    const TNonClientLayout layout = NonClientLayout();
    if (hit == HTCAPTION || (edgesFor(hit) && IsSizeable(m_borderStyle))) {
        // The window manager gets the pointer only once it moves with the
        // button held. Handed over at the press, a click whose release comes
        // before the window manager takes over leaves openbox and xfwm4
        // moving the window with no button down, and the second click of a
        // double click goes to them.
        m_dragHit = hit;
        m_dragStart = global;
        m_moveOffset = global - WindowRect().topLeft();
    } else if (hit == HTSYSMENU) {
        if (QMenu *menu = SystemMenu())
            menu->popup(SystemMenuPlace());
    } else if (ButtonEnabled(layout, hit)) {
        m_trackedButton = hit;
        m_trackedInside = true;
        InvalidateNonClient(ButtonRect(layout, hit));
    }
    message.Result = 0;
}

void TForm::WMNCLButtonDblClk(TMessage &message)
{
    const auto hit = static_cast<LRESULT>(message.WParam);
    const TBorderIcons icons = EffectiveBorderIcons(m_borderStyle, m_borderIcons);
    if (hit == HTSYSMENU && (icons & biSystemMenu))
        Deliver(WM_SYSCOMMAND, SC_CLOSE);
    else if (hit == HTCAPTION && (icons & biMaximize) && IsSizeable(m_borderStyle))
        Deliver(WM_SYSCOMMAND, isMaximized() ? SC_RESTORE : SC_MAXIMIZE);
    message.Result = 0;
}

void TForm::WMNCRButtonDown(TMessage &message)
{
    const auto hit = static_cast<LRESULT>(message.WParam);
    m_systemMenuArmed = hit == HTCAPTION || hit == HTSYSMENU;
    message.Result = 0;
}

void TForm::WMNCRButtonUp(TMessage &message)
{
    // The system menu opens only for a right click whose press reached us,
    // so whoever swallows the press keeps the menu shut.
    if (std::exchange(m_systemMenuArmed, false))
        if (QMenu *menu = SystemMenu())
            menu->popup(PointFromParam(message.LParam));
    message.Result = 0;
}

void TForm::WMSysCommand(TMessage &message)
{
    switch (message.WParam & 0xFFF0) {
    case SC_CLOSE: close(); break;
    case SC_MINIMIZE: showMinimized(); break;
    case SC_MAXIMIZE: showMaximized(); break;
    case SC_RESTORE: showNormal(); break;
    case SC_CONTEXTHELP: QWhatsThis::enterWhatsThisMode(); break;
    default: break;
    }
    message.Result = 0;
}

bool TForm::HasSystemMenu() const
{
    return EffectiveBorderIcons(m_borderStyle, m_borderIcons).testFlag(biSystemMenu);
}

QPoint TForm::SystemMenuPlace() const
{
    return WindowRect().topLeft() + NonClientLayout().icon.bottomLeft() + QPoint(0, 1);
}

bool TForm::PopupSystemMenu()
{
    QMenu *menu = SystemMenu();
    if (!menu)
        return false;
    menu->popup(SystemMenuPlace());
    // Opened by a key, the menu is worked by keys: the first command it
    // offers is lit at once, which is also what a screen reader announces.
    const QList<QAction *> actions = menu->actions();
    const auto first = std::find_if(actions.begin(), actions.end(), [](const QAction *action) {
        return action->isEnabled() && !action->isSeparator() && action->isVisible();
    });
    if (first != actions.end())
        menu->setActiveAction(*first);
    return true;
}

QMenu *TForm::SystemMenu()
{
    if (!HasSystemMenu())
        return nullptr;
    const TBorderIcons icons = EffectiveBorderIcons(m_borderStyle, m_borderIcons);
    if (!m_systemMenu)
        m_systemMenu = new QMenu(this);
    QMenu *menu = m_systemMenu;
    // Whoever looks at the open menu (a screen reader, a test) must not pull
    // its items away from under the user.
    if (menu->isVisible())
        return menu;
    menu->clear();
    const bool sizeable = IsSizeable(m_borderStyle);
    auto add = [this, menu](const QString &text, WPARAM command, bool enabled) {
        QAction *action = menu->addAction(text, this, [this, command] {
            Deliver(WM_SYSCOMMAND, command);
        });
        action->setEnabled(enabled);
    };
    const bool normal = !isMaximized() && !isMinimized();
    add(tr("&Restore"), SC_RESTORE, !normal);
    add(tr("Mi&nimize"), SC_MINIMIZE, icons.testFlag(biMinimize) && !isMinimized());
    add(tr("Ma&ximize"), SC_MAXIMIZE, icons.testFlag(biMaximize) && sizeable && !isMaximized());
    menu->addSeparator();
    AddSystemMenuItems(menu);
    add(tr("&Close\tAlt+F4"), SC_CLOSE, true);
    return menu;
}

void TForm::AddSystemMenuItems(QMenu *)
{
}

void TForm::SendCancelMode()
{
    if (m_trackedButton != HTNOWHERE) {
        const QRect button = ButtonRect(NonClientLayout(), m_trackedButton);
        m_trackedButton = HTNOWHERE;
        m_trackedInside = false;
        InvalidateNonClient(button);
    }
    m_dragHit = HTNOWHERE;
    m_manualMove = false;
    if (QWidget::mouseGrabber() == this)
        releaseMouse();
}

LRESULT TForm::HitTestAt(QPoint globalPos)
{
    return Deliver(WM_NCHITTEST, 0, pointParam(globalPos));
}

void TForm::BeginDrag(QPoint global)
{
    const LRESULT hit = std::exchange(m_dragHit, HTNOWHERE);
    QWindow *window = SystemDragWindow();
    if (hit != HTCAPTION) {
        if (window)
            window->startSystemResize(edgesFor(hit));
    } else if (!window || !window->startSystemMove()) {
        // No window manager to do it (or one that will not): follow the
        // mouse ourselves.
        m_manualMove = true;
        move(global - m_moveOffset);
    }
}

QWindow *TForm::SystemDragWindow()
{
    // Qt tells the window manager where a move or resize starts from its
    // own idea of the window's place; with a stale idea the window would
    // jump by the error, so Qt hears where the pointer proves it to be.
    QWindow *window = windowHandle();
    if (window && m_eventOrigin && window->position() != *m_eventOrigin)
        window->setPosition(*m_eventOrigin);
    return window;
}

QPoint TForm::EventOrigin(const QMouseEvent *event)
{
    // Qt's own idea of the window's place can stay wrong for the window's
    // whole life: its server query of the position may be answered while a
    // window manager has the window in a new frame at the screen's corner,
    // and no word follows when the frame then moves it to where it asked to
    // be (openbox). A mouse event holds its screen and its window position
    // from one report of the server, so the frame hit-tests from those.
    return (event->globalPosition() - event->position()).toPoint();
}

void TForm::mousePressEvent(QMouseEvent *event)
{
    const QScopedValueRollback origin(m_eventOrigin, std::optional(EventOrigin(event)));
    const QPoint global = event->globalPosition().toPoint();
    const LRESULT hit = HitTestAt(global);
    if (hit == HTCLIENT || hit == HTNOWHERE) {
        TWinControl::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton)
        Deliver(WM_NCLBUTTONDOWN, WPARAM(hit), pointParam(global));
    else if (event->button() == Qt::RightButton)
        Deliver(WM_NCRBUTTONDOWN, WPARAM(hit), pointParam(global));
    event->accept();
}

void TForm::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QScopedValueRollback origin(m_eventOrigin, std::optional(EventOrigin(event)));
    const QPoint global = event->globalPosition().toPoint();
    const LRESULT hit = HitTestAt(global);
    if (event->button() == Qt::LeftButton && hit != HTCLIENT && hit != HTNOWHERE) {
        Deliver(WM_NCLBUTTONDBLCLK, WPARAM(hit), pointParam(global));
        event->accept();
        return;
    }
    TWinControl::mouseDoubleClickEvent(event);
}

void TForm::mouseMoveEvent(QMouseEvent *event)
{
    const QScopedValueRollback origin(m_eventOrigin, std::optional(EventOrigin(event)));
    const QPoint global = event->globalPosition().toPoint();
    if (m_manualMove) {
        move(global - m_moveOffset);
        return;
    }
    if (m_dragHit != HTNOWHERE) {
        if (event->buttons() & Qt::LeftButton) {
            if (global != m_dragStart)
                BeginDrag(global);
            return;
        }
        m_dragHit = HTNOWHERE; // its release went elsewhere
    }
    if (m_trackedButton != HTNOWHERE) {
        // The button looks pressed only while the pointer is over it.
        const bool inside = HitTestAt(global) == m_trackedButton;
        if (inside != m_trackedInside) {
            m_trackedInside = inside;
            InvalidateNonClient(ButtonRect(NonClientLayout(), m_trackedButton));
        }
        return;
    }
    const LRESULT hit = HitTestAt(global);
    if (hit == HTCLIENT || hit == HTNOWHERE) {
        unsetCursor();
        TWinControl::mouseMoveEvent(event);
        return;
    }
    setCursor(IsSizeable(m_borderStyle) ? cursorFor(hit) : Qt::ArrowCursor);
    Deliver(WM_NCMOUSEMOVE, WPARAM(hit), pointParam(global));
}

void TForm::mouseReleaseEvent(QMouseEvent *event)
{
    const QScopedValueRollback origin(m_eventOrigin, std::optional(EventOrigin(event)));
    const QPoint global = event->globalPosition().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_dragHit = HTNOWHERE;
        m_manualMove = false;
        if (m_trackedButton != HTNOWHERE) {
            const LRESULT button = m_trackedButton;
            const bool inside = HitTestAt(global) == button;
            SendCancelMode();
            if (inside)
                Deliver(WM_SYSCOMMAND, commandFor(button, isMaximized()), pointParam(global));
            event->accept();
            return;
        }
    }
    const LRESULT hit = HitTestAt(global);
    if (hit == HTCLIENT || hit == HTNOWHERE) {
        TWinControl::mouseReleaseEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton)
        Deliver(WM_NCLBUTTONUP, WPARAM(hit), pointParam(global));
    else if (event->button() == Qt::RightButton)
        Deliver(WM_NCRBUTTONUP, WPARAM(hit), pointParam(global));
    event->accept();
}

} // namespace darvolt
