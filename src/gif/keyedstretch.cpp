#include "keyedstretch.h"

#include <QPainter>

namespace darvolt {

namespace {

QRgb KeyRgb(TColor key) { return ColorToRGB(key).rgb() & RGB_MASK; }

// A copy of the picture in which the key colour has no alpha.
QImage WithKeyCleared(const QImage &source, QRgb key)
{
    if (source.format() == QImage::Format_Indexed8 || source.format() == QImage::Format_Mono ||
        source.format() == QImage::Format_MonoLSB) {
        QImage copy = source;
        QList<QRgb> table = copy.colorTable();
        for (QRgb &entry : table) {
            if ((entry & RGB_MASK) == key)
                entry = 0;
        }
        copy.setColorTable(table);
        return copy;
    }
    QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if ((line[x] & RGB_MASK) == key)
                line[x] = 0;
        }
    }
    return argb;
}

} // namespace

void KeyedStretch(QPainter &painter, const QRect &destRect, const QImage &source,
                  const QRect &sourceRect, TColor key)
{
    if (source.isNull())
        return;
    const QRect from = sourceRect.isEmpty() ? source.rect() : sourceRect;
    QRect to = destRect;
    if (to.width() <= 0)
        to.setWidth(from.width());
    if (to.height() <= 0)
        to.setHeight(from.height());

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (key == clNone)
        painter.drawImage(to, source, from);
    else
        painter.drawImage(to, WithKeyCleared(source, KeyRgb(key)), from);
    painter.restore();
}

void DrawKeyed(QImage &canvas, QPoint at, const QImage &source, TColor key)
{
    if (source.isNull() || canvas.isNull())
        return;
    const bool indexed = source.format() == QImage::Format_Indexed8 || source.format() == QImage::Format_Mono;
    const bool direct = canvas.format() == QImage::Format_RGB32 || canvas.format() == QImage::Format_ARGB32;
    if (!indexed || !direct) {
        QPainter painter(&canvas);
        KeyedStretch(painter, QRect(at, source.size()), source, QRect(), key);
        return;
    }

    const QRect area = QRect(at, source.size()) & canvas.rect();
    if (area.isEmpty())
        return;
    // Colour per index, and which indices are left out.
    QRgb colors[256];
    bool skip[256] = {};
    const QList<QRgb> table = source.colorTable();
    const QRgb keyRgb = key == clNone ? 0 : KeyRgb(key);
    for (int i = 0; i < 256; ++i) {
        colors[i] = i < table.size() ? (table[i] | 0xFF000000u) : 0xFF000000u;
        skip[i] = key != clNone && (colors[i] & RGB_MASK) == keyRgb;
    }
    const bool mono = source.format() == QImage::Format_Mono;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *src = source.constScanLine(y - at.y());
        auto *dest = reinterpret_cast<QRgb *>(canvas.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const int sx = x - at.x();
            const int index = mono ? (src[sx >> 3] >> (7 - (sx & 7))) & 1 : src[sx];
            if (!skip[index])
                dest[x] = colors[index];
        }
    }
}

} // namespace darvolt
