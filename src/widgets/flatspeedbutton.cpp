#include "widgets/flatspeedbutton.h"

#include "toolkit/accessibility.h"
#include "toolkit/drawtext.h"
#include "toolkit/parentcolor.h"

#include <QDialog>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

namespace darvolt {

TFlatSpeedButton::TFlatSpeedButton(QWidget *parent)
    : QWidget(parent)
{
    JoinHoverTracking();
    // The face covers the whole rectangle, so the parent need not erase
    // behind it; move events are needed for hover even without a button held.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(25, 25);
}

TFlatSpeedButton::~TFlatSpeedButton()
{
    LeaveHoverTracking();
}

void TFlatSpeedButton::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateShortcut();
    update();
}

void TFlatSpeedButton::updateShortcut()
{
    if (m_shortcutId != 0)
        releaseShortcut(m_shortcutId);
    m_shortcutId = 0;
    const QChar accel = AccelChar(m_caption);
    if (!accel.isNull())
        m_shortcutId = grabShortcut(QKeySequence(Qt::ALT | Qt::Key(accel.toUpper().unicode())));
}

void TFlatSpeedButton::setAllowAllUp(bool value)
{
    if (value == m_allowAllUp)
        return;
    m_allowAllUp = value;
    GroupDown();
}

TColor TFlatSpeedButton::Color() const
{
    return m_color.Value(this);
}

void TFlatSpeedButton::setColor(TColor color)
{
    if (m_color.Set(color))
        update();
}

void TFlatSpeedButton::setParentColor(bool value)
{
    if (m_color.SetFollowParent(this, value))
        update();
}

void TFlatSpeedButton::setIndexedColor(int index, TColor color)
{
    TColor *const fields[] = {&m_colorFocused, &m_colorDown, &m_colorBorder, &m_colorHighLight,
                             &m_colorShadow};
    if (*fields[index] == color)
        return;
    *fields[index] = color;
    update();
}

void TFlatSpeedButton::setAdvColor(int index, int value)
{
    value = std::clamp(value, 0, 100);
    int *const fields[] = {&m_advColorFocused, &m_advColorDown, &m_advColorBorder};
    if (*fields[index] == value)
        return;
    *fields[index] = value;
    CalcAdvColors();
    update();
}

void TFlatSpeedButton::setUseAdvColors(bool value)
{
    if (value == m_useAdvColors)
        return;
    m_useAdvColors = value;
    setParentColor(value);
    CalcAdvColors();
    update();
}

void TFlatSpeedButton::CalcAdvColors()
{
    if (!m_useAdvColors)
        return;
    const TColor base = Color();
    m_colorFocused = AdvancedColor(base, m_colorFocused, m_advColorFocused, true);
    m_colorDown = AdvancedColor(base, m_colorDown, m_advColorDown, false);
    m_colorBorder = AdvancedColor(base, m_colorBorder, m_advColorBorder, false);
}

void TFlatSpeedButton::setGroupIndex(int value)
{
    if (value == m_groupIndex)
        return;
    m_groupIndex = value;
    GroupDown();
}

void TFlatSpeedButton::setDown(bool value)
{
    if (m_groupIndex == 0)
        value = false;
    if (value == m_down)
        return;
    if (m_down && !m_allowAllUp)
        return; // a latched button cannot be raised by itself
    m_down = value;
    if (value) {
        if (m_faceState == Up)
            update();
        m_faceState = Latched;
        GroupDown();
    } else {
        m_faceState = Up;
        repaint();
    }
    // Only the latch: a press that ends here is announced by the release.
    announceState(m_faceState == Pressed, !value);
}

void TFlatSpeedButton::GroupDown()
{
    if (m_groupIndex == 0 || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TFlatSpeedButton *>(Qt::FindDirectChildrenOnly);
    for (TFlatSpeedButton *sibling : siblings)
        sibling->GroupDownReceived(m_groupIndex, this);
}

void TFlatSpeedButton::GroupDownReceived(int groupIndex, TFlatSpeedButton *sender)
{
    if (sender == this || groupIndex != m_groupIndex)
        return;
    if (sender->m_down && m_down) {
        const bool wasPressed = m_faceState == Pressed;
        m_down = false;
        m_faceState = Up;
        update();
        announceState(wasPressed, true);
    }
    m_allowAllUp = sender->m_allowAllUp;
}

void TFlatSpeedButton::setGlyph(const QPixmap &glyph)
{
    setGlyphImage(glyph.toImage());
}

void TFlatSpeedButton::setGlyphImage(const QImage &glyph)
{
    if (glyph.cacheKey() == m_glyph.cacheKey())
        return;
    m_glyph = glyph;
    const int w = m_glyph.width();
    const int h = m_glyph.height();
    if (!m_glyph.isNull() && h > 0 && w % h == 0) {
        const int count = w / h;
        m_numGlyphs = count > 4 ? 1 : std::max(count, 1);
    }
    update();
}

void TFlatSpeedButton::setNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (value == m_numGlyphs)
        return;
    m_numGlyphs = value;
    update();
}

void TFlatSpeedButton::setLayout(TButtonLayout layout)
{
    if (layout == m_layout)
        return;
    m_layout = layout;
    update();
}

void TFlatSpeedButton::setMargin(int value)
{
    if (value < -1 || value == m_margin)
        return;
    m_margin = value;
    update();
}

void TFlatSpeedButton::setSpacing(int value)
{
    if (value == m_spacing)
        return;
    m_spacing = value;
    update();
}

void TFlatSpeedButton::setModalResult(int value)
{
    m_modalResult = value;
}

void TFlatSpeedButton::PerformClick()
{
    if (!isEnabled())
        return;
    if (m_groupIndex != 0)
        setDown(!m_down);
    Click();
}

void TFlatSpeedButton::announceState(bool wasPressed, bool wasDown)
{
    QAccessible::State changed;
    changed.pressed = wasPressed != (m_faceState == Pressed);
    changed.checked = wasDown != m_down;
    if (changed.pressed || changed.checked)
        NotifyStateChanged(this, changed);
}

void TFlatSpeedButton::Click()
{
    if (parentWidget()) {
        QWidget *form = window();
        if (form->property("ModalResult").isValid())
            form->setProperty("ModalResult", m_modalResult);
        else if (auto *dialog = qobject_cast<QDialog *>(form); dialog && m_modalResult != 0)
            dialog->done(m_modalResult);
    }
    emit OnClick(this);
}

bool TFlatSpeedButton::isInside(QPoint p) const
{
    // The row just below the bottom edge still counts; the column just right
    // of the right edge does not.
    return p.x() >= 0 && p.x() < width() && p.y() >= 0 && p.y() <= height();
}

void TFlatSpeedButton::leftButtonDown()
{
    if (!isEnabled())
        return;
    if (!m_down) {
        m_faceState = Pressed;
        update();
        announceState(false, m_down);
    }
    m_pressing = true;
}

void TFlatSpeedButton::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton)
        leftButtonDown();
}

void TFlatSpeedButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is still a press, so an ungrouped
    // button clicks twice; only a latched one reports the double click.
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton && m_down)
        emit OnDblClick(this);
}

void TFlatSpeedButton::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
    HoverMove(event->globalPosition().toPoint());
    if (m_pressing) {
        const TFaceState state = m_down ? Latched : (isInside(p) ? Pressed : Up);
        if (state != m_faceState) {
            const bool wasPressed = m_faceState == Pressed;
            m_faceState = state;
            update();
            announceState(wasPressed, m_down);
        }
    }
}

void TFlatSpeedButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
    if (!m_pressing)
        return;
    m_pressing = false;
    const bool inside = isInside(p);
    const bool wasPressed = m_faceState == Pressed;
    if (m_groupIndex == 0) {
        m_faceState = Up;
        m_hot = false;
        if (inside)
            update();
    } else if (inside) {
        setDown(!m_down);
        if (m_down)
            repaint();
    } else {
        if (m_down)
            m_faceState = Latched;
        repaint();
    }
    announceState(wasPressed, m_down); // a latch has announced itself in setDown
    // A click handler may close and delete the window this button is on.
    const QPointer<TFlatSpeedButton> alive(this);
    if (inside)
        Click();
    else
        HoverLeave();
    if (alive)
        UpdateHover();
}

bool TFlatSpeedButton::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut) {
        auto *shortcut = static_cast<QShortcutEvent *>(event);
        if (shortcut->shortcutId() == m_shortcutId && isEnabled()) {
            Click();
            return true;
        }
        event->ignore();
        return false;
    }
    return QWidget::event(event);
}

void TFlatSpeedButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (!isEnabled()) {
            const bool wasPressed = m_faceState == Pressed;
            m_hot = false;
            m_faceState = Disabled;
            ReleaseHoverWatch();
            announceState(wasPressed, m_down);
        }
        UpdateHover();
        update();
        break;
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
        if (m_useAdvColors) {
            m_color.SetFollowParent(this, true);
            CalcAdvColors();
        }
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
}

} // namespace darvolt
