#include "widgets/imagecontrol.h"

#include "gif/gifimage.h"
#include "toolkit/form.h"
#include "toolkit/parentcolor.h"
#include "toolkit/wincontrol.h"
#include "toolkit/wndproc.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QVariant>

namespace darvolt {

using namespace messages;

namespace {

constexpr UINT QueryNewPaletteMessage = 0x030F;

TForm *ParentFormOf(QWidget *control)
{
    for (QWidget *w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto *form = qobject_cast<TForm *>(w))
            return form;
    }
    return nullptr;
}

// The own visibility flag of a control: only an explicit hide clears it.
bool ShownByFlag(const QWidget *widget)
{
    return !(widget->testAttribute(Qt::WA_WState_ExplicitShowHide) && widget->testAttribute(Qt::WA_WState_Hidden));
}

} // namespace

TRxImageControl::TRxImageControl(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted, so Qt need not clear what lies under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(105, 105);
}

TRxImageControl::~TRxImageControl() = default;

TColor TRxImageControl::Color() const
{
    return ParentColorOf(this);
}

bool TRxImageControl::ShowHint() const
{
    if (m_parentShowHint && parentWidget()) {
        const QVariant inherited = parentWidget()->property("ShowHint");
        if (inherited.isValid())
            return inherited.toBool();
    }
    return m_showHint;
}

void TRxImageControl::setShowHint(bool value)
{
    m_parentShowHint = false;
    m_showHint = value;
}

void TRxImageControl::setParentShowHint(bool value)
{
    m_parentShowHint = value;
}

bool TRxImageControl::Visible() const
{
    return ShownByFlag(this);
}

void TRxImageControl::BeginLoading()
{
    ++m_loading;
}

void TRxImageControl::EndLoading()
{
    if (m_loading > 0)
        --m_loading;
}

void TRxImageControl::setDesigning(bool value)
{
    if (value == m_designing)
        return;
    m_designing = value;
    update();
}

QList<QRgb> TRxImageControl::GetPalette()
{
    return {};
}

bool TRxImageControl::PaletteDisplay() const
{
    const QScreen *display = screen();
    return display && display->depth() <= 8;
}

bool TRxImageControl::AnnouncePalette()
{
    if (!Visible() || Loading() || !m_graphic || GetPalette().isEmpty())
        return false;
    TForm *form = ParentFormOf(this);
    if (!form || !form->isActiveWindow() || !form->HandleAllocated())
        return false;
    if (m_drawing)
        SendMessage(form->Handle(), QueryNewPaletteMessage);
    else
        PostMessage(form->Handle(), QueryNewPaletteMessage);
    return true;
}

void TRxImageControl::RefreshPicture()
{
    // Qt cannot repaint the parent from inside a paint; the parent's update
    // is queued instead and follows right after this paint.
    if (m_graphic && AnnouncePalette() && m_drawing && parentWidget())
        parentWidget()->update();
    if (!m_drawing)
        update();
}

void TRxImageControl::PaintParentBehind(QWidget *control, QPainter &target)
{
    QWidget *parent = control ? control->parentWidget() : nullptr;
    if (!parent)
        return;
    const QRect area = control->geometry();
    target.save();
    target.translate(-area.topLeft());
    target.setClipRect(parent->rect(), Qt::IntersectClip);
    parent->render(&target, area.topLeft(), QRegion(area), QWidget::DrawWindowBackground);
    for (QObject *child : parent->children()) {
        if (child == control)
            break;
        auto *sibling = qobject_cast<QWidget *>(child);
        if (!sibling || sibling->isWindow() || qobject_cast<TWinControl *>(sibling) || !ShownByFlag(sibling)
            || !sibling->geometry().intersects(area))
            continue;
        target.save();
        target.setClipRect(sibling->geometry(), Qt::IntersectClip);
        sibling->render(&target, sibling->pos(), QRegion(), QWidget::RenderFlags());
        target.restore();
    }
    target.restore();
}

void TRxImageControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const bool wasDrawing = m_drawing;
    m_drawing = true;
    try {
        PaintPicture(painter);
    } catch (...) {
        m_drawing = wasDrawing;
        ReportPaintError(std::current_exception());
        return;
    }
    m_drawing = wasDrawing;
    if (m_designing && (!m_graphic || m_graphic->Empty() || m_graphic->Transparent())) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// A picture that cannot be painted fails on every paint; the user hears of
// it once, not once per frame.
void TRxImageControl::ReportPaintError(std::exception_ptr error)
{
    if (m_paintErrorReported)
        return;
    m_paintErrorReported = true;
    HandleApplicationException(error);
}

bool TRxImageControl::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !ShowHint()) {
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void TRxImageControl::Click()
{
    emit OnClick(this);
}

void TRxImageControl::mousePressEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    emit OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
}

void TRxImageControl::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), at.x(), at.y());
}

void TRxImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const bool click = event->button() == Qt::LeftButton && m_pressed && rect().contains(at);
    if (event->button() == Qt::LeftButton)
        m_pressed = false;
    const QPointer<TRxImageControl> alive(this);
    emit OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
    if (click && alive)
        Click();
}

void TRxImageControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click is a click of its own: the release that ends it does
    // not click again.
    const QPoint at = event->position().toPoint();
    const QPointer<TRxImageControl> alive(this);
    if (event->button() == Qt::LeftButton)
        emit OnDblClick(this);
    if (alive)
        emit OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
}

} // namespace darvolt
