#pragma once

#include <array>
#include <cstdint>

namespace darvolt {

// A colour as the image model stores it: red + green * 256 + blue * 65536.
// The same representation as TColor; the reader keeps to the standard
// library, so it names the value itself.
using GifColor = std::uint32_t;

// No colour: an absent background or transparent colour (equal to clNone).
inline constexpr GifColor GifNoColor = 0x1FFFFFFF;

// A GIF colour table: count (0 to 256) and 256 RGB entries in file order.
// A table with count 0 has all entries zero.
struct GifColorTable
{
    std::uint32_t Count = 0;
    std::array<std::uint8_t, 3 * 256> Entries{};

    // Colour of entry i (0 to 255) as red + green * 256 + blue * 65536.
    GifColor ColorAt(unsigned index) const
    {
        const std::uint8_t *e = &Entries[3 * (index & 0xFFu)];
        return GifColor(e[0]) | GifColor(e[1]) << 8 | GifColor(e[2]) << 16;
    }

    bool operator==(const GifColorTable &) const = default;
};

// Bits per pixel (1 to 8) for a colour count of 2, 4, ... 256; any other
// count raises EInvalidGraphicOperation "Wrong number of colors; must be a
// power of 2".
int ColorCountToBits(std::uint32_t count);

} // namespace darvolt
