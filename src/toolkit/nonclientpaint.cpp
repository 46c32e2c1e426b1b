#include "toolkit/nonclientpaint.h"

#include "graphics/colors.h"
#include "toolkit/drawutil.h"
#include "toolkit/metrics.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <array>
#include <string_view>

namespace darvolt {

using namespace messages;

namespace {

// Button glyphs as pixel patterns, the way the classic title buttons draw
// them.
constexpr std::array<std::string_view, 7> closeGlyph{
    "##....##", ".##..##.", "..####..", "...##...", "..####..", ".##..##.", "##....##"};
constexpr std::array<std::string_view, 2> minimizeGlyph{"######", "######"};
constexpr std::array<std::string_view, 9> maximizeGlyph{
    "#########", "#########", "#.......#", "#.......#", "#.......#",
    "#.......#", "#.......#", "#.......#", "#########"};
constexpr std::array<std::string_view, 9> restoreGlyph{
    "..######", "..######", "..#....#", "######.#", "######.#",
    "#....###", "#....#..", "#....#..", "######.."};
constexpr std::array<std::string_view, 9> helpGlyph{
    ".####.", "##..##", "....##", "...##.", "..##..", "..##..", "......", "..##..", "..##.."};

template <std::size_t N>
void drawGlyph(QPainter &painter, QPoint at, const std::array<std::string_view, N> &rows,
               const QColor &color)
{
    for (std::size_t y = 0; y < N; ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            if (rows[y][x] == '#')
                painter.fillRect(at.x() + int(x), at.y() + int(y), 1, 1, color);
}

template <std::size_t N>
void drawGlyphCentred(QPainter &painter, const QRect &r, const std::array<std::string_view, N> &rows,
                      bool enabled, QPoint offset, int yFromBottom = -1)
{
    const int w = int(rows[0].size()), h = int(N);
    QPoint at(r.left() + (r.width() - w) / 2, r.top() + (r.height() - h) / 2);
    if (yFromBottom >= 0)
        at.setY(r.bottom() - yFromBottom - h + 1);
    at += offset;
    if (enabled) {
        drawGlyph(painter, at, rows, ColorToRGB(clBtnText));
    } else {
        drawGlyph(painter, at + QPoint(1, 1), rows, ColorToRGB(clBtnHighlight));
        drawGlyph(painter, at, rows, ColorToRGB(clBtnShadow));
    }
}

QColor captionColor(bool active)
{
    return ColorToRGB(active ? clActiveCaption : clInactiveCaption);
}

void paintFrame(QPainter &painter, const TNonClientLayout &l, bool active)
{
    QRect r = l.window;
    r = Frame3D(painter, r, ColorToRGB(cl3DLight), ColorToRGB(cl3DDkShadow));
    r = Frame3D(painter, r, ColorToRGB(clBtnHighlight), ColorToRGB(clBtnShadow));
    // The rest of the frame, and the line under the title band, in the face
    // colour (a sizing frame shows the border colour in its extra ring).
    const QRegion rest = QRegion(r) - QRegion(l.client);
    const QColor face = ColorToRGB(clBtnFace);
    for (const QRect &part : rest)
        FillSolid(painter, part, face);
    if (IsSizeable(l.style)) {
        const QColor border = ColorToRGB(active ? clActiveBorder : clInactiveBorder);
        Frame3D(painter, r, border, border);
    }
}

} // namespace

void DrawCaptionButton(QPainter &painter, const QRect &r, LRESULT hit, bool pressed, bool enabled,
                       bool maximized)
{
    if (r.isEmpty())
        return;
    QRect inner = r;
    if (pressed) {
        inner = Frame3D(painter, inner, ColorToRGB(cl3DDkShadow), ColorToRGB(clBtnHighlight));
        inner = Frame3D(painter, inner, ColorToRGB(clBtnShadow), ColorToRGB(cl3DLight));
    } else {
        inner = Frame3D(painter, inner, ColorToRGB(clBtnHighlight), ColorToRGB(cl3DDkShadow));
        inner = Frame3D(painter, inner, ColorToRGB(cl3DLight), ColorToRGB(clBtnShadow));
    }
    FillSolid(painter, inner, ColorToRGB(clBtnFace));
    const QPoint shift = pressed ? QPoint(1, 1) : QPoint(0, 0);
    switch (hit) {
    case HTCLOSE:
        drawGlyphCentred(painter, r, closeGlyph, enabled, shift);
        break;
    case HTMINBUTTON:
        drawGlyphCentred(painter, r, minimizeGlyph, enabled, shift, 3);
        break;
    case HTMAXBUTTON:
        if (maximized)
            drawGlyphCentred(painter, r, restoreGlyph, enabled, shift);
        else
            drawGlyphCentred(painter, r, maximizeGlyph, enabled, shift);
        break;
    case HTHELP:
        drawGlyphCentred(painter, r, helpGlyph, enabled, shift);
        break;
    default:
        break;
    }
}

void PaintCaptionRow(QPainter &painter, const TNonClientLayout &l, const TNonClientState &state)
{
    if (l.captionRow.isEmpty())
        return;
    FillSolid(painter, l.captionRow, captionColor(state.active));
    if (!l.icon.isEmpty() && !state.smallIcon.isNull())
        painter.drawPixmap(l.icon, state.smallIcon);
    if (!state.caption.isEmpty() && l.textArea.width() > 0) {
        const TNonClientMetrics metrics = GetNonClientMetrics();
        const QFont font = IsToolWindow(l.style) ? metrics.SmallCaptionFont : metrics.CaptionFont;
        painter.save();
        painter.setFont(font);
        painter.setPen(ColorToRGB(state.active ? clCaptionText : clInactiveCaptionText));
        painter.setClipRect(l.textArea);
        const QString text =
            QFontMetrics(font).elidedText(state.caption, Qt::ElideRight, l.textArea.width());
        painter.drawText(l.textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        painter.restore();
    }
    for (const LRESULT hit : {HTMINBUTTON, HTMAXBUTTON, HTCLOSE, HTHELP})
        DrawCaptionButton(painter, ButtonRect(l, hit), hit, state.pressed == hit,
                          ButtonEnabled(l, hit), state.maximized);
}

void PaintNonClient(QPainter &painter, const TNonClientLayout &l, const TNonClientState &state)
{
    if (l.style == bsNone)
        return;
    paintFrame(painter, l, state.active);
    PaintCaptionRow(painter, l, state);
}

QPixmap SystemApplicationIcon()
{
    // A small window: white inside a black outline, with a blue title bar.
    const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    QPixmap pixmap(cx, cy);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QRect outline(1, 2, cx - 2, cy - 4);
    p.fillRect(outline, Qt::black);
    p.fillRect(outline.adjusted(1, 1, -1, -1), Qt::white);
    p.fillRect(QRect(outline.left() + 1, outline.top() + 1, outline.width() - 2, 3),
               ColorToRGB(clActiveCaption));
    return pixmap;
}

QPixmap SmallIconFor(const QIcon &ownIcon)
{
    const QSize size(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    // Drawn at exactly the small-icon size: a larger image is scaled down
    // rather than cut.
    auto atSize = [&size](const QIcon &icon) {
        return icon.pixmap(size).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    if (!ownIcon.isNull())
        return atSize(ownIcon);
    const QIcon appIcon = QGuiApplication::windowIcon();
    if (!appIcon.isNull())
        return atSize(appIcon);
    return SystemApplicationIcon();
}

} // namespace darvolt
