#include "graphics/colors.h"

#include <array>

namespace darvolt {

namespace {

struct Rgb {
    int r, g, b;
};

// The classic Windows standard scheme, the look the layouts were drawn for.
// One table, so that every widget shades its bevels the same way.
constexpr std::array<Rgb, SystemColorCount> systemColors{{
    {192, 192, 192}, //  0 scroll bar
    {0, 128, 128},   //  1 desktop background
    {0, 0, 128},     //  2 active caption
    {128, 128, 128}, //  3 inactive caption
    {192, 192, 192}, //  4 menu
    {255, 255, 255}, //  5 window
    {0, 0, 0},       //  6 window frame
    {0, 0, 0},       //  7 menu text
    {0, 0, 0},       //  8 window text
    {255, 255, 255}, //  9 caption text
    {192, 192, 192}, // 10 active border
    {192, 192, 192}, // 11 inactive border
    {128, 128, 128}, // 12 application work space
    {0, 0, 128},     // 13 highlight
    {255, 255, 255}, // 14 highlight text
    {192, 192, 192}, // 15 button face
    {128, 128, 128}, // 16 button shadow
    {128, 128, 128}, // 17 gray text
    {0, 0, 0},       // 18 button text
    {192, 192, 192}, // 19 inactive caption text
    {255, 255, 255}, // 20 button highlight
    {0, 0, 0},       // 21 3-D dark shadow
    {192, 192, 192}, // 22 3-D light
    {0, 0, 0},       // 23 info text
    {255, 255, 225}, // 24 info background
    {0, 0, 0},       // 25 unused
    {0, 0, 255},     // 26 hot light
    {16, 132, 208},  // 27 gradient active caption
    {181, 181, 181}, // 28 gradient inactive caption
    {0, 0, 128},     // 29 menu highlight
    {192, 192, 192}, // 30 menu bar
}};

} // namespace

QColor ColorToRGB(TColor color)
{
    if (color == clNone || color == clDefault)
        return QColor(0, 0, 0, 0);
    if (IsSystemColor(color)) {
        const TColor index = color & 0x00FFFFFFu;
        if (index >= systemColors.size())
            return QColor(0, 0, 0);
        const Rgb &c = systemColors[index];
        return QColor(c.r, c.g, c.b);
    }
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor RGBToColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return RGBColor(rgb.red(), rgb.green(), rgb.blue());
}

} // namespace darvolt
