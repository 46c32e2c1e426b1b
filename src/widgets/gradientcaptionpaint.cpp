// How a gradient caption looks: the ramp, the icon and the texts.
#include "widgets/gradientcaption.h"

#include "toolkit/drawutil.h"
#include "toolkit/form.h"
#include "toolkit/metrics.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace darvolt {

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

void GradientFill(QPainter &painter, const QRect &rect, TColor startColor, TColor endColor,
                  TFillDirection direction, int colors)
{
    if (rect.isEmpty())
        return;
    // The reversed directions are the plain ones with the colours swapped;
    // the left-over strip then takes the start colour.
    if (direction == fdRightToLeft || direction == fdBottomToTop)
        std::swap(startColor, endColor);
    const QColor start = ColorToRGB(startColor), end = ColorToRGB(endColor);
    const bool horizontal = direction == fdLeftToRight || direction == fdRightToLeft;
    const int length = horizontal ? rect.width() : rect.height();
    const int bands = std::max(1, std::min(colors, length));
    const int bandSize = length / bands;
    auto part = [&](int from, int size) {
        return horizontal ? QRect(rect.left() + from, rect.top(), size, rect.height())
                          : QRect(rect.left(), rect.top() + from, rect.width(), size);
    };
    if (bandSize > 0) {
        for (int i = 0; i < bands; ++i) {
            QColor color = start;
            if (bands > 1) {
                color = QColor(start.red() + MulDiv(i, end.red() - start.red(), bands - 1),
                               start.green() + MulDiv(i, end.green() - start.green(), bands - 1),
                               start.blue() + MulDiv(i, end.blue() - start.blue(), bands - 1));
            }
            FillSolid(painter, part(i * bandSize, bandSize), color);
        }
    }
    if (const int rest = length % bands; rest > 0)
        FillSolid(painter, part(length - rest, rest), end);
}

QString FitText(const QFont &font, const QString &text, int width)
{
    // Attempt k keeps the first length - 1 - k characters and adds "...";
    // the first attempt that fits wins, and after `length` attempts only
    // "..." is left. Widths shrink as characters go, so the first fitting
    // attempt is found by halving instead of trying them one by one, which
    // kept a long title from freezing every repaint.
    const QFontMetrics metrics(font);
    if (text.isEmpty() || metrics.horizontalAdvance(text) <= width)
        return text;
    const auto length = text.size();
    auto attempt = [&](qsizetype k) {
        return text.left(std::max<qsizetype>(0, length - 1 - k)) + QStringLiteral("...");
    };
    auto fits = [&](qsizetype k) { return metrics.horizontalAdvance(attempt(k)) <= width; };
    qsizetype low = 1, high = length; // attempt `length` is taken whether it fits or not
    while (low < high) {
        const qsizetype mid = low + (high - low) / 2;
        if (fits(mid))
            high = mid;
        else
            low = mid + 1;
    }
    return attempt(low);
}

namespace {

const QString ellipsis = QStringLiteral("...");

// The texts of one band as they are laid out: the area still free, and the
// font each text is drawn in.
struct TextPainter
{
    const TRxGradientCaption &caption;
    QPainter &painter;
    QRect area;
    bool active;

    QFont fontOf(const TRxCaption *segment) const
    {
        return segment && !segment->ParentFont() ? segment->Font() : caption.Font();
    }

    QColor colorOf(const TRxCaption *segment) const
    {
        if (!segment)
            return ColorToRGB(active ? caption.FontColor() : caption.FontInactiveColor());
        const TColor fontColor = segment->ParentFont() ? caption.FontColor() : segment->FontColor();
        return ColorToRGB(active ? fontColor : segment->InactiveColor());
    }

    int widthOf(const TRxCaption *segment) const
    {
        const QString text = segment ? segment->Caption() : caption.FormCaption();
        return QFontMetrics(fontOf(segment)).horizontalAdvance(text);
    }

    int space() const { return std::max(0, area.width()); }

    // Draws one text (a segment, or FormCaption for null) shortened to the
    // free space; true when the whole text was drawn.
    bool drawSegment(const TRxCaption *segment, bool first, bool glue, const TRxCaption *previous)
    {
        const QString text = segment ? segment->Caption() : caption.FormCaption();
        if (text.isEmpty())
            return true;
        QFont font = fontOf(segment);
        QColor color = colorOf(segment);
        const QFontMetrics metrics(font);
        QString shown = FitText(font, text, space());
        if (glue && shown == text && metrics.horizontalAdvance(text + QLatin1Char('.')) >= space())
            shown = first ? ellipsis : text + ellipsis;
        if (shown == ellipsis && !first)
            return false;
        if (shown == ellipsis) {
            // A lone "..." stands for what was cut off: in the caption's
            // font, coloured like the segment before it.
            font = caption.Font();
            color = colorOf(nullptr);
            if (previous) {
                const TColor fontColor =
                    previous->ParentFont() ? caption.FontColor() : previous->FontColor();
                color = ColorToRGB(active ? fontColor : previous->InactiveColor());
            }
        }
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        area.setLeft(area.left() + QFontMetrics(font).horizontalAdvance(shown));
        return shown == text;
    }
};

} // namespace

void TRxGradientCaption::DrawTexts(QPainter &painter, QRect area) const
{
    TextPainter texts{*this, painter, area, m_windowActive};
    const int count = m_captions->Count();
    auto segment = [this](int i) { return m_captions->Items(i); };

    if (m_hideDirection == hdLeftToRight) {
        int need = 2 + texts.widthOf(nullptr);
        for (int i = 0; i < count; ++i)
            if (segment(i)->Visible())
                need += texts.widthOf(segment(i));
        // Whole segments give way from the left until the rest fits. Only
        // what was counted is taken off again: a hidden segment takes no
        // room in the first place.
        int first = 0;
        auto drop = [&](int i) {
            if (segment(i)->Visible())
                need -= texts.widthOf(segment(i));
        };
        while (texts.space() < need && first < count) {
            drop(first);
            while (segment(first)->GlueNext() && first + 1 < count)
                drop(++first);
            ++first;
        }
        for (int i = first; i < count; ++i)
            if (segment(i)->Visible())
                texts.drawSegment(segment(i), false, false, nullptr);
        texts.drawSegment(nullptr, true, false, nullptr);
        return;
    }

    // hdRightToLeft: the leading segments that start within the band are
    // drawn, the later ones give way first.
    int width = 2, shown = 0;
    for (int i = 0; i < count && width < texts.space(); ++i) {
        if (segment(i)->Visible()) {
            width += texts.widthOf(segment(i));
            while (segment(i)->GlueNext() && i + 1 < count)
                width += texts.widthOf(segment(++i));
        }
        shown = i + 1;
    }
    bool go = true;
    for (int j = 0; j < shown && go; ++j) {
        const TRxCaption *s = segment(j);
        if (!s->Visible() || s->Caption().isEmpty())
            continue;
        const bool first = j == 0 || segment(j - 1)->GlueNext();
        const bool fitted = texts.drawSegment(s, first, s->GlueNext(), j > 0 ? segment(j - 1) : nullptr);
        go = fitted && (s->GlueNext() || texts.space() > 0);
    }
    if (texts.space() > 0 && go && !m_formCaption.isEmpty())
        texts.drawSegment(nullptr, false, false, nullptr);
}

QImage TRxGradientCaption::CaptionImage() const
{
    const TForm *form = Form();
    if (!form || form->BorderStyle() == bsNone)
        return {};
    const QRect band = CaptionRect();
    const int w = band.width(), h = band.height();
    if (w <= 0 || h <= 0)
        return {};
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    const TColor endColor = m_windowActive ? clActiveCaption : clInactiveCaption;
    if ((m_windowActive && m_gradientActive) || (!m_windowActive && m_gradientInactive)) {
        // The ramp starts a fifth of its length left of the band.
        GradientFill(painter, QRect(-(w / 4), 0, w + w / 4, h), m_startColor, endColor,
                     fdLeftToRight, m_gradientSteps & 0xFF);
    } else {
        FillSolid(painter, image.rect(), ColorToRGB(endColor));
    }

    QRect area(0, 0, w, h);
    const TFormBorderStyle style = form->BorderStyle();
    const TBorderIcons icons = EffectiveBorderIcons(style, form->BorderIcons());
    if ((icons & biSystemMenu) && (style == bsSingle || style == bsSizeable)) {
        const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
        painter.drawPixmap(QRect(1 + (h - cx) / 2, (h - cy) / 2, cx, cy), SmallIconFor(form->Icon()));
        area.setLeft(h);
    }
    if (!m_formCaption.isEmpty() || m_captions->Count() > 0) {
        area.setLeft(area.left() + 2);
        DrawTexts(painter, area);
    }
    return image;
}

} // namespace darvolt
