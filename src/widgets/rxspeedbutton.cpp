#include "widgets/rxspeedbutton.h"

#include "toolkit/accessibility.h"
#include "graphics/colors.h"
#include "toolkit/drawutil.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace darvolt {

TRxSpeedButton::TRxSpeedButton(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(25, 25);
}

void TRxSpeedButton::setGlyphImage(const QImage &glyph)
{
    if (glyph.cacheKey() == m_glyph.cacheKey())
        return;
    m_glyph = glyph;
    m_disabledGlyph = QImage();
    update();
}

void TRxSpeedButton::setNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (value == m_numGlyphs)
        return;
    m_numGlyphs = value;
    m_disabledGlyph = QImage();
    update();
}

QImage TRxSpeedButton::stateGlyph() const
{
    if (m_glyph.isNull())
        return {};
    const int w = m_glyph.width() / m_numGlyphs;
    if (!isEnabled() && m_numGlyphs == 1) {
        if (m_disabledGlyph.isNull())
            m_disabledGlyph = MakeDisabledImage(m_glyph);
        return m_disabledGlyph;
    }
    int index = 0;
    if (!isEnabled())
        index = 1;
    else if (m_pressed && m_numGlyphs > 2)
        index = 2;
    return m_glyph.copy(index * w, 0, w, m_glyph.height());
}

QPoint TRxSpeedButton::GlyphPosition(QSize button, QSize glyph, bool pressed)
{
    const QRect face = QRect(QPoint(0, 0), button).adjusted(3, 3, -3, -3);
    QPoint at(face.left() + face.width() / 2 - glyph.width() / 2,
              face.top() + face.height() / 2 - glyph.height() / 2);
    if (pressed)
        at += QPoint(1, 1);
    return at;
}

QImage TRxSpeedButton::RenderFace()
{
    QImage face(size(), QImage::Format_RGB32);
    face.fill(ColorToRGB(clBtnFace));
    QPainter painter(&face);
    const QColor highlight = ColorToRGB(clBtnHighlight);
    const QColor frame = ColorToRGB(clWindowFrame);
    const QColor buttonFace = ColorToRGB(clBtnFace);
    const QColor shadow = ColorToRGB(clBtnShadow);
    QRect r = rect();
    if (m_pressed) {
        r = Frame3D(painter, r, frame, highlight);
        Frame3D(painter, r, shadow, buttonFace);
    } else {
        r = Frame3D(painter, r, highlight, frame);
        Frame3D(painter, r, buttonFace, shadow);
    }
    const QImage glyph = stateGlyph();
    if (!glyph.isNull())
        DrawMasked(painter, GlyphPosition(size(), glyph.size(), m_pressed), glyph,
                   glyph.pixel(0, glyph.height() - 1));
    PaintOverlay(painter, m_pressed);
    return face;
}

void TRxSpeedButton::PaintOverlay(QPainter &, bool)
{
}

void TRxSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    try {
        painter.drawImage(0, 0, RenderFace());
    } catch (...) {
        // Left for the next paint; the button keeps working.
    }
}

void TRxSpeedButton::Click()
{
    emit OnClick(this);
}

void TRxSpeedButton::PerformClick()
{
    if (!isEnabled())
        return;
    const QPointer<TRxSpeedButton> alive(this);
    LeftButtonPressed();
    if (alive)
        Click();
}

void TRxSpeedButton::setPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    QAccessible::State changed;
    changed.pressed = true;
    NotifyStateChanged(this, changed);
}

void TRxSpeedButton::LeftButtonPressed()
{
}

void TRxSpeedButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    LeftButtonPressed();
    m_holding = true;
    setPressed(true);
    repaint();
}

void TRxSpeedButton::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_holding)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != m_pressed) {
        setPressed(inside);
        update();
    }
}

void TRxSpeedButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_holding)
        return;
    m_holding = false;
    setPressed(false);
    update();
    if (rect().contains(event->position().toPoint()))
        Click();
}

void TRxSpeedButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            m_holding = false;
            setPressed(false);
        }
        update();
    }
}

} // namespace darvolt
