#include "widgets/editglyphs.h"

#include <algorithm>

namespace darvolt {

namespace {

QImage fromArt(const char *const rows[], int height)
{
    const int width = int(qstrlen(rows[0]));
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            QRgb c = qRgb(255, 0, 255);
            switch (rows[y][x]) {
            case '#': c = qRgb(0, 0, 0); break;
            case '.': c = qRgb(255, 255, 255); break;
            case '+': c = qRgb(128, 128, 128); break;
            case 'o': c = qRgb(192, 192, 192); break;
            default: break;
            }
            image.setPixel(x, y, c);
        }
    }
    return image;
}

} // namespace

const QImage &DefaultEditGlyph()
{
    // ' ' magenta, '#' black, '.' white, '+' grey, 'o' light grey.
    static const char *const art[] = {
        "        ###   ",
        "       #   # #",
        "            ##",
        " ###       ###",
        "#...#######   ",
        "#.o.o.o.o.#   ",
        "#o.######### #",
        "#.o#+++++++++#",
        "#o#+++++++++# ",
        "#.#++++++++#  ",
        "##+++++++++#  ",
        " ##########   ",
    };
    static const QImage glyph = fromArt(art, 12);
    return glyph;
}

QImage DropDownGlyph()
{
    static const char *const art[] = {
        "       ",
        "#######",
        " ##### ",
        "  ###  ",
        "   #   ",
        "       ",
    };
    return fromArt(art, 6);
}

QImage EllipsisGlyph(int buttonWidth)
{
    const int w = std::max(1, buttonWidth - 6);
    QImage image(w, 4, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    const int gap = std::clamp((w - 6) / 2, 1, 3);
    const int x = (w - 6 - 2 * gap) / 2;
    for (const int dotX : {x, x + gap + 2, x + 2 * gap + 4})
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                if (dotX + dx >= 0 && dotX + dx < w)
                    image.setPixel(dotX + dx, 1 + dy, qRgb(0, 0, 0));
    return image;
}

} // namespace darvolt
