#include "widgets/procustompanel.h"

#include "toolkit/drawtext.h"
#include "toolkit/drawutil.h"
#include "toolkit/parentcolor.h"

#include <QPaintEvent>
#include <QPainter>

namespace darvolt {

void DrawSides(QPainter &painter, QRect &r, TProCustomPanel::TSides sides, const QColor &first,
               const QColor &second, int n)
{
    using P = TProCustomPanel;
    for (int ring = 0; ring < n; ++ring) {
        const int left = r.left();
        const int top = r.top();
        const int right = r.left() + r.width();   // exclusive
        const int bottom = r.top() + r.height(); // exclusive
        if (sides & P::sdLeft)
            DrawLine(painter, {left, top}, {left, bottom}, first);
        if (sides & P::sdTop)
            DrawLine(painter, {left, top}, {right, top}, first);
        if (sides & P::sdRight)
            DrawLine(painter, {right - 1, top}, {right - 1, bottom}, second);
        if (sides & P::sdBottom)
            DrawLine(painter, {left, bottom - 1}, {right, bottom - 1}, second);
        r.adjust(sides & P::sdLeft ? 1 : 0, sides & P::sdTop ? 1 : 0,
                 sides & P::sdRight ? -1 : 0, sides & P::sdBottom ? -1 : 0);
    }
}

TBevelColors BevelColors(TProCustomPanel::TBevelCut cut, bool ctl3D, bool inner)
{
    using P = TProCustomPanel;
    if (cut == P::bvLowered) {
        if (ctl3D && inner)
            return {clBtnText, cl3DLight};
        return {clBtnShadow, clBtnHighlight};
    }
    if (ctl3D && inner)
        return {cl3DLight, clBtnShadow};
    if (ctl3D)
        return {clBtnHighlight, clBtnText};
    return {clBtnHighlight, clBtnShadow};
}

TProCustomPanel::TProCustomPanel(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 41);
    ApplyBackgroundColor(this, m_color);
    updateChildMargins();
}

void TProCustomPanel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void TProCustomPanel::setAlignment(TAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    update();
}

void TProCustomPanel::setBevelCtl3D(bool value)
{
    if (value == m_bevelCtl3D)
        return;
    m_bevelCtl3D = value;
    m_bevelWidth = value ? 2 : 1;
    updateChildMargins();
    update();
}

void TProCustomPanel::setBevelInner(TBevelCut value)
{
    if (value == m_bevelInner)
        return;
    m_bevelInner = value;
    updateChildMargins();
    update();
}

void TProCustomPanel::setBevelOuter(TBevelCut value)
{
    if (value == m_bevelOuter)
        return;
    m_bevelOuter = value;
    updateChildMargins();
    update();
}

void TProCustomPanel::setBevelSides(TSides sides)
{
    if (sides == m_bevelSides)
        return;
    m_bevelSides = sides;
    update();
}

void TProCustomPanel::setBevelWidth(int width)
{
    width = std::max(width, 1);
    if (width == m_bevelWidth)
        return;
    m_bevelWidth = width;
    updateChildMargins();
    update();
}

void TProCustomPanel::setBorderColor(TColor color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    update();
}

void TProCustomPanel::setBorderWidth(int width)
{
    width = std::max(width, 0);
    if (width == m_borderWidth)
        return;
    m_borderWidth = width;
    updateChildMargins();
    update();
}

void TProCustomPanel::setBorderStyle(TBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    updateChildMargins();
    update();
}

void TProCustomPanel::setColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    ApplyBackgroundColor(this, color);
    update();
}

void TProCustomPanel::setVerticalAlignment(TVerticalAlignment value)
{
    if (value == m_verticalAlignment)
        return;
    m_verticalAlignment = value;
    update();
}

void TProCustomPanel::updateChildMargins()
{
    // A 3-D bevel always takes two rings, whatever BevelWidth said before, so
    // the children must keep clear of both.
    if (m_bevelCtl3D)
        m_bevelWidth = 2;
    int inset = m_borderWidth + (m_borderStyle == bsSingle ? 1 : 0);
    if (m_bevelOuter != bvNone)
        inset += m_bevelWidth;
    if (m_bevelInner != bvNone)
        inset += m_bevelWidth;
    setContentsMargins(inset, inset, inset, inset);
}

QRect TProCustomPanel::InnerRect() const
{
    return contentsRect();
}

void TProCustomPanel::paintBevel(QPainter &painter, QRect &r, TBevelCut cut) const
{
    if (cut == bvNone)
        return;
    const TBevelColors outer = BevelColors(cut, m_bevelCtl3D, false);
    if (m_bevelCtl3D) {
        const TBevelColors inner = BevelColors(cut, true, true);
        DrawSides(painter, r, m_bevelSides, ColorToRGB(outer.first), ColorToRGB(outer.second), 1);
        DrawSides(painter, r, m_bevelSides, ColorToRGB(inner.first), ColorToRGB(inner.second), 1);
    } else {
        DrawSides(painter, r, m_bevelSides, ColorToRGB(outer.first), ColorToRGB(outer.second),
                  m_bevelWidth);
    }
}

void TProCustomPanel::paintFace(QPainter &painter) const
{
    QRect r = rect();
    if (m_borderStyle == bsSingle)
        r = Frame3D(painter, r, ColorToRGB(clWindowFrame), ColorToRGB(clWindowFrame));
    paintBevel(painter, r, m_bevelOuter);
    const QColor border = ColorToRGB(m_borderColor);
    DrawSides(painter, r, m_bevelSides, border, border, m_borderWidth);
    paintBevel(painter, r, m_bevelInner);
    FillSolid(painter, r, ColorToRGB(m_color));
    if (m_caption.isEmpty())
        return;

    static constexpr Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    const int flags = CaptionFlags(horizontal[m_alignment], true, true, false);
    painter.setFont(font());
    if (m_verticalAlignment != vaTop) {
        const int h = MeasureCaption(font(), r.width(), m_caption, flags).height();
        const int d = r.height() - h;
        r.setHeight(h);
        r.translate(0, m_verticalAlignment == vaCenter ? d / 2 : d);
    }
    DrawCaption(painter, r, m_caption, flags, palette().color(QPalette::WindowText));
}

QImage TProCustomPanel::RenderFace() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(ColorToRGB(m_color));
    QPainter painter(&image);
    paintFace(painter);
    return image;
}

void TProCustomPanel::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    try {
        CopyImageRegion(painter, event->region(), RenderFace());
    } catch (...) {
        // A failed face must not take the window down; the next paint retries.
    }
}

void TProCustomPanel::MouseEnter()
{
    emit OnMouseEnter(this);
}

void TProCustomPanel::MouseLeave()
{
    emit OnMouseLeave(this);
}

void TProCustomPanel::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    MouseEnter();
}

void TProCustomPanel::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    MouseLeave();
}

} // namespace darvolt
