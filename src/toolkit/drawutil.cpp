#include "toolkit/drawutil.h"

#include <QPainter>

#include <cstdlib>

namespace darvolt {

QImage MakeDisabledImage(const QImage &source, TColor maskColor, TColor backColor,
                         bool drawHighlight, TColor highlightColor, TColor shadowColor)
{
    const QImage src = source.convertToFormat(QImage::Format_RGB32);
    QImage result(src.size(), QImage::Format_RGB32);
    result.fill(ColorToRGB(backColor));
    const QRgb mask = ColorToRGB(maskColor).rgb();
    const QRgb highlight = ColorToRGB(highlightColor).rgb();
    const QRgb shadow = ColorToRGB(shadowColor).rgb();
    const int w = src.width();
    const int h = src.height();
    // Highlights first, so that a shadow pixel always wins where both fall.
    if (drawHighlight) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (src.pixel(x, y) == mask && x + 1 < w && y + 1 < h)
                    result.setPixel(x + 1, y + 1, highlight);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (src.pixel(x, y) == mask)
                result.setPixel(x, y, shadow);
    return result;
}

QImage MaskedImage(const QImage &source, QRgb transparent)
{
    QImage result = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent | 0xFF000000u;
    for (int y = 0; y < result.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            if ((line[x] | 0xFF000000u) == key && qAlpha(line[x]) == 255)
                line[x] = 0;
    }
    return result;
}

void DrawMasked(QPainter &painter, QPoint at, const QImage &image, QRgb transparent)
{
    if (image.isNull())
        return;
    painter.drawImage(at, MaskedImage(image, transparent));
}

void FillSolid(QPainter &painter, const QRect &r, const QColor &color)
{
    if (r.width() > 0 && r.height() > 0)
        painter.fillRect(r, color);
}

void DrawLine(QPainter &painter, QPoint from, QPoint to, const QColor &color)
{
    if (from.x() == to.x() && from.y() != to.y()) {
        const int top = to.y() > from.y() ? from.y() : to.y() + 1;
        painter.fillRect(QRect(from.x(), top, 1, std::abs(to.y() - from.y())), color);
    } else if (from.y() == to.y() && from.x() != to.x()) {
        const int left = to.x() > from.x() ? from.x() : to.x() + 1;
        painter.fillRect(QRect(left, from.y(), std::abs(to.x() - from.x()), 1), color);
    }
}

QRect Frame3D(QPainter &painter, const QRect &r, const QColor &top, const QColor &bottom)
{
    if (r.width() <= 0 || r.height() <= 0)
        return r;
    const int left = r.left();
    const int topY = r.top();
    const int right = r.left() + r.width();   // exclusive
    const int bottomY = r.top() + r.height(); // exclusive
    DrawLine(painter, {left, bottomY - 1}, {left, topY - 1}, top);
    DrawLine(painter, {left, topY}, {right - 1, topY}, top);
    DrawLine(painter, {right - 1, topY}, {right - 1, bottomY}, bottom);
    DrawLine(painter, {left, bottomY - 1}, {right, bottomY - 1}, bottom);
    return r.adjusted(1, 1, -1, -1);
}

void CopyImageRegion(QPainter &painter, const QRegion &region, const QImage &image)
{
    painter.save();
    for (const QRect &r : region) {
        painter.setClipRect(r);
        painter.drawImage(r.topLeft(), image, r);
    }
    painter.restore();
}

} // namespace darvolt
