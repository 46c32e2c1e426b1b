#include "widgets/flatspeedbutton.h"

#include <cmath>

namespace darvolt {

namespace {

struct Hsl {
    int h; // 0..239
    int s; // 0..240
    int l; // 0..240
};

Hsl toHsl(const QColor &rgb)
{
    const double r = rgb.red() / 255.0;
    const double g = rgb.green() / 255.0;
    const double b = rgb.blue() / 255.0;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    const double l = (max + min) / 2;
    double h = 0;
    double s = 0;
    if (max > min) {
        const double d = max - min;
        s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
        if (max == r)
            h = (g - b) / d + (g < b ? 6 : 0);
        else if (max == g)
            h = (b - r) / d + 2;
        else
            h = (r - g) / d + 4;
        h /= 6;
    }
    return {int(std::lround(h * 239)), int(std::lround(s * 240)), int(std::lround(l * 240))};
}

double hueToChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    if (t < 1.0 / 6)
        return p + (q - p) * 6 * t;
    if (t < 0.5)
        return q;
    if (t < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

TColor fromHsl(const Hsl &hsl)
{
    const double h = hsl.h / 239.0;
    const double s = hsl.s / 240.0;
    const double l = hsl.l / 240.0;
    double r = l;
    double g = l;
    double b = l;
    if (s > 0) {
        const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        const double p = 2 * l - q;
        r = hueToChannel(p, q, h + 1.0 / 3);
        g = hueToChannel(p, q, h);
        b = hueToChannel(p, q, h - 1.0 / 3);
    }
    const auto channel = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return RGBColor(channel(r), channel(g), channel(b));
}

} // namespace

TColor AdvancedColor(TColor base, TColor previous, int percent, bool lighten)
{
    if (percent == 0)
        return previous;
    Hsl hsl = toHsl(ColorToRGB(base));
    hsl.l += 10;
    // Lightening is bounded by the top of the 0..240 scale. (Bounding it at
    // 100 would turn every light face darker when asked to lighten it.)
    hsl.l = lighten ? std::min(hsl.l + percent, 240) : std::max(hsl.l - percent, 0);
    return fromHsl(hsl);
}

} // namespace darvolt
