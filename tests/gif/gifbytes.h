#pragma once

// Helpers for building GIF bytes in tests. Every field a test cares about
// is still written out where the test builds its stream; these only pack.

#include <QByteArray>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

namespace gifbytes {

inline QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v & 0xFF));
    return out;
}

inline QByteArray Word(int value) { return Bytes({value & 0xFF, (value >> 8) & 0xFF}); }

// LZW codes (value, width) packed least significant bit first.
inline QByteArray PackCodes(const std::vector<std::pair<unsigned, int>> &codes)
{
    QByteArray out;
    std::uint32_t acc = 0;
    int filled = 0;
    for (auto [code, width] : codes) {
        acc |= code << filled;
        filled += width;
        while (filled >= 8) {
            out.append(char(acc & 0xFF));
            acc >>= 8;
            filled -= 8;
        }
    }
    if (filled > 0)
        out.append(char(acc & 0xFF));
    return out;
}

// A CodeStream: code size byte, data in sub-blocks of blockSize bytes, and
// (unless left out) the closing empty block.
inline QByteArray CodeStream(int codeSize, const QByteArray &data, int blockSize = 255, bool terminator = true)
{
    QByteArray out(1, char(codeSize));
    for (qsizetype pos = 0; pos < data.size(); pos += blockSize) {
        const qsizetype n = std::min<qsizetype>(blockSize, data.size() - pos);
        out.append(char(n));
        out.append(data.mid(pos, n));
    }
    if (terminator)
        out.append('\0');
    return out;
}

inline std::span<const std::uint8_t> Span(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())};
}

// Codes that make only literal pixels, at the widths a decoder expects:
// after a clear, every code but the first adds a table entry, and the width
// grows when the next free code reaches 2^width, up to 12 bits. With
// `clearWhenFull` false, the literals go on at 12 bits once the table is full.
inline std::vector<std::pair<unsigned, int>> LiteralCodes(const std::vector<std::uint8_t> &pixels, int codeSize,
                                                          bool clearWhenFull)
{
    std::vector<std::pair<unsigned, int>> codes;
    const unsigned clear = 1u << codeSize;
    int width = codeSize + 1;
    unsigned nextFree = clear + 2;
    bool first = true;
    codes.push_back({clear, width});
    for (std::uint8_t p : pixels) {
        codes.push_back({p, width});
        if (first) {
            first = false;
            continue;
        }
        if (nextFree < 4096) {
            ++nextFree;
            if (nextFree == (1u << width) && width < 12)
                ++width;
        }
        if (nextFree == 4096 && clearWhenFull) {
            codes.push_back({clear, width});
            width = codeSize + 1;
            nextFree = clear + 2;
            first = true;
        }
    }
    codes.push_back({clear + 1, width});
    return codes;
}

} // namespace gifbytes
