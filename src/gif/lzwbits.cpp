#include "lzwbits.h"

#include <algorithm>

namespace darvolt {

namespace gifdetail {

Payload JoinSubBlocks(std::span<const std::uint8_t> stream, bool keepBlockEnds)
{
    Payload payload;
    payload.bytes.reserve(stream.size());
    std::size_t pos = 1;
    while (pos < stream.size()) {
        const std::size_t count = stream[pos++];
        if (count == 0)
            break;
        const std::size_t available = std::min(count, stream.size() - pos);
        payload.bytes.insert(payload.bytes.end(), stream.begin() + std::ptrdiff_t(pos),
                             stream.begin() + std::ptrdiff_t(pos + available));
        pos += available;
        if (keepBlockEnds)
            payload.blockEnds.emplace_back(payload.bytes.size(), pos);
    }
    return payload;
}

void PlaceRows(const PixelRun &run, int width, int targetBits, bool interlaced, int height,
               std::uint8_t *firstRow, std::ptrdiff_t stride)
{
    static constexpr int step[4] = {8, 8, 4, 2};
    static constexpr int first[4] = {0, 4, 2, 1};
    int pass = 0;
    int y = 0;
    const std::size_t written = run.count - run.origin;
    const std::size_t rows = (written + std::size_t(width) - 1) / std::size_t(width);
    for (std::size_t k = 0; k < rows; ++k) {
        const std::uint8_t *src = run.bytes.data() + run.origin + k * std::size_t(width);
        std::uint8_t *dest = firstRow + std::ptrdiff_t(y) * stride;
        // The run may hold bytes past its last pixel (strings are copied in
        // whole words); they are no pixels of the picture.
        const int n = int(std::min(std::size_t(width), written - k * std::size_t(width)));
        if (targetBits == 8) {
            std::memcpy(dest, src, std::size_t(n));
        } else if (targetBits == 4) {
            for (int x = 0; x < n; ++x)
                dest[x >> 1] = std::uint8_t((x & 1) ? (dest[x >> 1] | (src[x] & 0x0F)) : ((src[x] & 0x0F) << 4));
        } else {
            for (int x = 0; x < n; ++x) {
                const int shift = 7 - (x & 7);
                dest[x >> 3] = std::uint8_t(shift == 7 ? (src[x] & 1) << 7 : dest[x >> 3] | (src[x] & 1) << shift);
            }
        }
        if (!interlaced) {
            ++y;
            continue;
        }
        y += step[pass];
        while (y >= height && pass < 3) {
            ++pass;
            y = first[pass];
        }
        if (y >= height)
            break;
    }
}

} // namespace gifdetail

} // namespace darvolt
