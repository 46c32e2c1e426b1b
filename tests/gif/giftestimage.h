#pragma once

// Builds small GIF streams for the image-model tests: a global table of
// 2^bits colours (entry i = colour i of Palette()), frames of one colour
// index each (or given pixels), with their own graphic control values.

#include "gif/gifwriter.h"
#include "gifbytes.h"

#include <QByteArray>
#include <QRgb>

#include <vector>

namespace giftest {

using namespace darvolt;

struct FrameSpec
{
    int left = 0, top = 0, width = 1, height = 1;
    int index = 1;            // colour index of every pixel, unless pixels given
    std::vector<std::uint8_t> pixels;
    int disposal = 1;
    int key = -1;             // transparent index, or -1
    int delay = 0;            // hundredths of a second
};

// White, red, green, blue, then greys.
inline QRgb PaletteColor(int i)
{
    static const QRgb first[4] = {qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    return i < 4 ? first[i] : qRgb(i, i, i);
}

inline QByteArray MakeGif(int screenWidth, int screenHeight, const std::vector<FrameSpec> &frames, int bits = 2,
                          int background = 0)
{
    using namespace gifbytes;
    QByteArray gif = QByteArray("GIF89a") + Word(screenWidth) + Word(screenHeight) +
                     Bytes({0x80 | 0x70 | (bits - 1), background, 0});
    for (int i = 0; i < (1 << bits); ++i)
        gif += Bytes({qRed(PaletteColor(i)), qGreen(PaletteColor(i)), qBlue(PaletteColor(i))});
    for (const FrameSpec &f : frames) {
        gif += Bytes({0x21, 0xF9, 4, (f.disposal << 2) | (f.key >= 0 ? 1 : 0)}) + Word(f.delay) +
               Bytes({f.key >= 0 ? f.key : 0, 0});
        gif += Bytes({0x2C}) + Word(f.left) + Word(f.top) + Word(f.width) + Word(f.height) + Bytes({0});
        std::vector<std::uint8_t> pixels = f.pixels;
        if (pixels.empty())
            pixels.assign(std::size_t(f.width * f.height), std::uint8_t(f.index));
        const auto code = EncodeLiteralCodeStream(pixels, bits);
        gif += QByteArray(reinterpret_cast<const char *>(code.data()), qsizetype(code.size()));
    }
    return gif + ';';
}

} // namespace giftest
