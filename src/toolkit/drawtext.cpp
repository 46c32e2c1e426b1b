#include "toolkit/drawtext.h"

#include "graphics/colors.h"

#include <QFontMetrics>
#include <QPainter>

namespace darvolt {

int CaptionFlags(Qt::Alignment alignment, bool wordWrap, bool accelerators, bool singleLine)
{
    int flags = int(alignment) | Qt::TextExpandTabs;
    if (wordWrap && !singleLine)
        flags |= Qt::TextWordWrap;
    if (singleLine)
        flags |= Qt::TextSingleLine;
    if (accelerators)
        flags |= Qt::TextShowMnemonic;
    return flags;
}

QSize MeasureCaption(const QFont &font, int width, const QString &caption, int flags)
{
    if (caption.isEmpty())
        return {0, 0};
    const QFontMetrics metrics(font);
    // Only the layout flags matter for the size; alignment would move the box.
    const int layoutFlags = flags & ~int(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask);
    const QRect box(0, 0, std::max(width, 1), 1 << 20);
    return metrics.boundingRect(box, layoutFlags, caption).size();
}

void DrawCaption(QPainter &painter, const QRect &r, const QString &caption, int flags,
                 const QColor &color)
{
    if (caption.isEmpty())
        return;
    painter.save();
    painter.setPen(color);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(r, flags, caption);
    painter.restore();
}

void DrawCaptionEmbossed(QPainter &painter, const QRect &r, const QString &caption, int flags)
{
    DrawCaption(painter, r.translated(1, 1), caption, flags, ColorToRGB(clBtnHighlight));
    DrawCaption(painter, r, caption, flags, ColorToRGB(clBtnShadow));
}

QChar AccelChar(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1];
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

bool IsAccel(QChar typed, const QString &caption)
{
    const QChar accel = AccelChar(caption);
    return !accel.isNull() && !typed.isNull() && accel.toUpper() == typed.toUpper();
}

} // namespace darvolt
