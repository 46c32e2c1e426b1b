#include "toolkit/messageicon.h"

#include "graphics/colors.h"

#include <QPainter>
#include <QPainterPath>

namespace darvolt {

namespace {

// Both icons are drawn on a 32-unit grid, the size the dialogs show them at.
constexpr qreal grid = 32;

// The shape with its grey shadow below and to the right, then itself,
// outlined.
void drawShadowed(QPainter &painter, const QPainterPath &shape, const QColor &outline, const QColor &fill)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColorToRGB(clGray));
    painter.drawPath(shape.translated(2, 2));
    painter.setPen(QPen(outline, 1));
    painter.setBrush(fill);
    painter.drawPath(shape);
}

void drawError(QPainter &painter)
{
    QPainterPath disc;
    disc.addEllipse(QRectF(1, 1, 28, 28));
    drawShadowed(painter, disc, ColorToRGB(clMaroon), ColorToRGB(clRed));
    painter.setPen(QPen(ColorToRGB(clWhite), 3.5, Qt::SolidLine, Qt::FlatCap));
    const QPointF centre = disc.boundingRect().center();
    const qreal arm = 6.5;
    painter.drawLine(centre + QPointF(-arm, -arm), centre + QPointF(arm, arm));
    painter.drawLine(centre + QPointF(-arm, arm), centre + QPointF(arm, -arm));
}

QPainterPath speechBubble()
{
    QPainterPath bubble;
    bubble.addEllipse(QRectF(1, 1, 28, 23));
    QPainterPath tail;
    tail.moveTo(7, 19);
    tail.lineTo(4, 29);
    tail.lineTo(15, 22);
    tail.closeSubpath();
    return bubble.united(tail);
}

void drawInformation(QPainter &painter)
{
    drawShadowed(painter, speechBubble(), ColorToRGB(clBlack), ColorToRGB(clWhite));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColorToRGB(clBlue));
    painter.drawEllipse(QRectF(13, 4, 4, 4));
    painter.drawRect(QRectF(13, 10, 4, 10));
    painter.drawRect(QRectF(11, 10, 2, 2)); // the serif at the top of the stem
    painter.drawRect(QRectF(11, 18, 8, 2)); // and its foot
}

} // namespace

QImage MessageIcon(QStyle::StandardPixmap kind, int extent)
{
    if ((kind != QStyle::SP_MessageBoxCritical && kind != QStyle::SP_MessageBoxInformation) || extent <= 0)
        return {};
    QImage image(extent, extent, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(extent / grid, extent / grid);
    if (kind == QStyle::SP_MessageBoxCritical)
        drawError(painter);
    else
        drawInformation(painter);
    return image;
}

} // namespace darvolt
