#include "icongen.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// The colours of the window's own 16-colour icon, so that the menu entry
// and the window's title band show the same picture.
const QColor ink(0x00, 0x00, 0x00);
const QColor paper(0xff, 0xff, 0xff);
const QColor text(0x80, 0x80, 0x80);
const QColor cut(0xff, 0x00, 0x00);
const QColor disk(0x00, 0x00, 0x80);
const QColor metal(0xc0, 0xc0, 0xc0);

class Grid
{
public:
    explicit Grid(int size) : m_size(size) {}

    // A grid position on the nearest pixel edge.
    int at(double units) const { return static_cast<int>(std::lround(units * m_size / 32.0)); }
    QRect rect(double x0, double y0, double x1, double y1) const
    {
        return QRect(QPoint(at(x0), at(y0)), QPoint(at(x1) - 1, at(y1) - 1));
    }
    // A horizontal bar from x0 to x1 whose top is at y, some pixels high.
    QRect bar(double x0, double x1, double y, int height) const
    {
        return QRect(at(x0), at(y), at(x1) - at(x0), height);
    }
    // Strokes thin out a little on big icons, where a whole unit would look
    // clumsy, but never vanish on small ones.
    int stroke() const { return std::max(1, static_cast<int>(std::lround(m_size * 0.75 / 32.0))); }
    // Below 24 pixels the details lose their outlines, which would leave
    // hardly anything but outline.
    int detailStroke() const { return m_size < 24 ? 0 : stroke(); }
    // The paper kept free around the text, at least a pixel.
    int margin() const { return std::max(stroke() + 1, at(2)); }

private:
    int m_size;
};

// A sheet with its corner folded down (fold > 0) and an outline on three or
// four sides; the side left open is where the sheet was cut.
void drawSheet(QPainter &p, const Grid &g, QRect sheet, int fold, bool openTop, bool openBottom)
{
    const int t = g.stroke();
    QPainterPath outer;
    outer.moveTo(sheet.left(), sheet.top());
    outer.lineTo(sheet.right() + 1 - fold, sheet.top());
    outer.lineTo(sheet.right() + 1, sheet.top() + fold);
    outer.lineTo(sheet.right() + 1, sheet.bottom() + 1);
    outer.lineTo(sheet.left(), sheet.bottom() + 1);
    outer.closeSubpath();
    p.fillPath(outer, ink);

    // The diagonal's inset is shorter than a straight side's.
    const double slant = fold > 0 ? t * (std::sqrt(2.0) - 1.0) : 0.0;
    const int top = sheet.top() + (openTop ? 0 : t);
    const int bottom = sheet.bottom() + 1 - (openBottom ? 0 : t);
    QPainterPath inner;
    inner.moveTo(sheet.left() + t, top);
    inner.lineTo(sheet.right() + 1 - fold - slant, top);
    inner.lineTo(sheet.right() + 1 - t, sheet.top() + fold + slant);
    inner.lineTo(sheet.right() + 1 - t, bottom);
    inner.lineTo(sheet.left() + t, bottom);
    inner.closeSubpath();
    p.fillPath(inner, paper);

    if (fold > 0) {
        const int x = sheet.right() + 1 - fold;
        p.fillRect(x, sheet.top(), t, fold, ink);
        p.fillRect(x, sheet.top() + fold - t, fold, t, ink);
    }
}

// Lines of text, one stroke high with a stroke of paper between them; the
// first one stops short of a folded corner.
void drawText(QPainter &p, const Grid &g, QRect area, int firstLineEnd)
{
    const int t = g.stroke();
    const int pitch = std::max(2 * t, g.at(2));
    for (int y = area.top(), row = 0; y + t <= area.bottom() + 1; y += pitch, ++row) {
        const int right = row == 0 ? std::min(firstLineEnd, area.right()) : area.right();
        p.fillRect(QRect(QPoint(area.left(), y), QPoint(right, y + t - 1)), text);
    }
}

// Every other stroke along a cut edge, as the torn paper shows it. Small
// icons have no row to spare for it: the red cut alone says it there.
void drawPerforation(QPainter &p, const Grid &g, int left, int right, int y)
{
    const int t = g.detailStroke();
    if (t == 0)
        return;
    for (int x = left; x + t <= right + 1; x += 2 * t)
        p.fillRect(x, y, t, t, ink);
}

// The cut: short red strokes in two staggered rows across the gap.
void drawCut(QPainter &p, const Grid &g)
{
    const int t = g.stroke();
    for (int i = 0; i < 3; ++i) {
        p.fillRect(g.bar(8.0 * i, 8.0 * i + 2, 14, t), cut);
        p.fillRect(g.bar(8.0 * i + 4, 8.0 * i + 6, 14, t).translated(0, std::max(t, g.at(15) - g.at(14))), cut);
    }
}

void drawDiskette(QPainter &p, const Grid &g)
{
    const int t = g.stroke();
    const QRect body = g.rect(17, 17, 31, 31);
    p.fillRect(body, ink);
    p.fillRect(body.adjusted(t, t, -t, -t), disk);
    // The sliding shutter with its window onto the disk.
    const int d = g.detailStroke();
    const QRect shutter = g.rect(20, 17, 27, 23).adjusted(0, t - d, 0, 0);
    p.fillRect(shutter, ink);
    const QRect plate = shutter.adjusted(d, d, -d, -d);
    p.fillRect(plate, metal);
    p.fillRect(QRect(QPoint(g.at(24), plate.top() + d), QPoint(g.at(26) - 1, plate.bottom() - d)), disk);
    // The label, with the one line written on it.
    const QRect label = g.rect(19, 24, 29, 31).adjusted(0, 0, 0, -t + d);
    p.fillRect(label, ink);
    p.fillRect(label.adjusted(d, d, -d, 0), paper);
    p.fillRect(g.bar(21, 27, 26, t), cut);
    // Small labels have no room for a second line.
    if (g.at(2) >= 2 * t + 2)
        p.fillRect(g.bar(21, 27, 28, t), text);
}

} // namespace

QImage DrawDarvoltIcon(int size)
{
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    const Grid g(size);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);

    // The upper half of the page, open where it was cut.
    const QRect upper = g.rect(1, 1, 19, 13);
    const int fold = std::max(2 * g.stroke() + 1, g.at(4));
    drawSheet(p, g, upper, fold, false, true);
    const int t = g.stroke();
    drawText(p, g, QRect(QPoint(upper.left() + g.margin(), upper.top() + g.margin() + t),
                         QPoint(upper.right() - g.margin(), upper.bottom() - t)),
             upper.right() - fold - t);
    drawPerforation(p, g, upper.left(), upper.right(), upper.bottom() + 1);

    drawCut(p, g);

    // The lower half, moved to the right, open at its top.
    const QRect lower = g.rect(4, 17, 18, 29);
    drawPerforation(p, g, lower.left(), lower.right(), g.at(16));
    drawSheet(p, g, lower, 0, true, false);
    drawText(p, g, QRect(QPoint(lower.left() + g.margin(), lower.top() + g.margin() - t),
                         QPoint(lower.right() - g.margin(), lower.bottom() - g.margin())),
             lower.right());

    drawDiskette(p, g);
    return icon;
}
