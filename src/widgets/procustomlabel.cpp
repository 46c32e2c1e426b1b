#include "widgets/procustomlabel.h"

#include "toolkit/drawtext.h"
#include "toolkit/parentcolor.h"

#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

namespace darvolt {

TProCustomLabel::TProCustomLabel(QWidget *parent)
    : QWidget(parent)
{
    resize(65, 13);
}

void TProCustomLabel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateShortcut();
    adjustBounds();
    update();
}

void TProCustomLabel::setFontColor(TColor color)
{
    if (color == m_fontColor)
        return;
    m_fontColor = color;
    update();
    FontChanged();
}

TColor TProCustomLabel::Color() const
{
    return m_color.Value(this);
}

void TProCustomLabel::setColor(TColor color)
{
    if (m_color.Set(color))
        update();
}

void TProCustomLabel::setParentColor(bool value)
{
    if (m_color.SetFollowParent(this, value))
        update();
}

void TProCustomLabel::setAlignment(TAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    update();
}

void TProCustomLabel::setAutoSize(bool value)
{
    if (value == m_autoSize)
        return;
    m_autoSize = value;
    adjustBounds();
}

void TProCustomLabel::setWordWrap(bool value)
{
    if (value == m_wordWrap)
        return;
    m_wordWrap = value;
    adjustBounds();
    update();
}

void TProCustomLabel::setShowAccelChar(bool value)
{
    if (value == m_showAccelChar)
        return;
    m_showAccelChar = value;
    updateShortcut();
    adjustBounds();
    update();
}

void TProCustomLabel::setTransparent(bool value)
{
    if (value == m_transparent)
        return;
    m_transparent = value;
    update();
}

void TProCustomLabel::setFocusControl(QWidget *control)
{
    m_focusControl = control;
    updateShortcut();
}

void TProCustomLabel::updateShortcut()
{
    if (m_shortcutId != 0)
        releaseShortcut(m_shortcutId);
    m_shortcutId = 0;
    const QChar accel = m_showAccelChar ? AccelChar(m_caption) : QChar();
    if (!accel.isNull() && m_focusControl)
        m_shortcutId = grabShortcut(QKeySequence(Qt::ALT | Qt::Key(accel.toUpper().unicode())));
}

int TProCustomLabel::TextFlags() const
{
    static constexpr Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    return CaptionFlags(horizontal[m_alignment] | Qt::AlignTop, m_wordWrap, m_showAccelChar, false);
}

void TProCustomLabel::adjustBounds()
{
    if (!m_autoSize || m_caption.isEmpty())
        return;
    // Without word wrap the label takes the text's width; with it, the width
    // stays and only the height follows the wrapped lines.
    const int room = m_wordWrap ? width() : (1 << 20);
    const QSize text = MeasureCaption(font(), room, m_caption, TextFlags());
    resize(m_wordWrap ? width() : text.width(), text.height());
}

QImage TProCustomLabel::RenderFace() const
{
    QImage face(size(), QImage::Format_ARGB32_Premultiplied);
    face.fill(m_transparent ? QColor(Qt::transparent) : ColorToRGB(Color()));
    QPainter painter(&face);
    painter.setFont(font());
    const QRect r = rect();
    if (isEnabled())
        DrawCaption(painter, r, m_caption, TextFlags(), ColorToRGB(m_fontColor));
    else
        DrawCaptionEmbossed(painter, r, m_caption, TextFlags());
    return face;
}

void TProCustomLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    try {
        painter.drawImage(0, 0, RenderFace());
    } catch (...) {
        // Nothing drawn this time; the label stays usable.
    }
}

bool TProCustomLabel::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut
        && static_cast<QShortcutEvent *>(event)->shortcutId() == m_shortcutId) {
        if (m_focusControl && m_focusControl->isEnabled())
            m_focusControl->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return QWidget::event(event);
}

void TProCustomLabel::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        m_clicking = true;
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TProCustomLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton && m_clicking) {
        m_clicking = false;
        if (rect().contains(p))
            emit OnClick(this);
    }
}

void TProCustomLabel::MouseEnter()
{
    emit OnMouseEnter(this);
}

void TProCustomLabel::MouseLeave()
{
    emit OnMouseLeave(this);
}

void TProCustomLabel::FontChanged()
{
}

void TProCustomLabel::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    MouseEnter();
}

void TProCustomLabel::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    MouseLeave();
}

void TProCustomLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        adjustBounds();
        update();
        FontChanged();
    } else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange) {
        update();
    }
}

} // namespace darvolt
