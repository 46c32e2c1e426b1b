#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace darvolt {

// Decode-progress stages: before the first code, after each code, at the end.
enum TGIFProgressStage { psStarting = 0, psRunning = 1, psEnding = 2 };

// Progress callback: stage, percentage (0 to 100) and a message (empty
// except when an error ends decoding).
using GifDecodeProgress = std::function<void(int stage, int percent, const std::string &message)>;

// Bytes per row of a bottom-up pixel buffer: rows padded to 4 bytes.
constexpr std::size_t GifRowSize(std::int64_t width, int bitsPerPixel)
{
    return std::size_t((width * bitsPerPixel + 31) / 32) * 4;
}

// Decodes one frame's LZW data into a pixel buffer.
//
// codeStream is the frame's CodeStream: the code size byte, then data
// sub-blocks. pixels holds height rows of GifRowSize(width, targetBits)
// bytes, bottom row first, zero-filled by the caller; targetBits is 1, 4 or
// 8. pixelBits (1 to 8) gives the frame's colour-table depth: every pixel
// value is masked to it.
//
// Corrupt data (a prefix chain longer than any real string) raises
// "GIF encoded data is corrupt" unless tolerant is set; then decoding stops
// there and the result is true. Data that ends before the last row stops
// decoding and also gives true; rows not reached keep index 0. Data that ends
// right after the last pixel, without an end code, is complete.
//
// Raises EInvalidGraphicOperation "GIF code size not in range 2 to 9" for a
// code size byte outside 2..9 (or a missing one), and "Wrong number of colors;
// must be a power of 2" for pixelBits outside 1..8.
bool DecodeFrame(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                 bool interlaced, int pixelBits, bool tolerant, std::span<std::uint8_t> pixels,
                 const GifDecodeProgress &progress = {});

// DecodeFrame into rows that run top row first, `stride` bytes apart (the
// scan lines of a picture), zero-filled by the caller. firstRow may be null
// when width or height is 0.
bool DecodeFrameRows(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                     bool interlaced, int pixelBits, bool tolerant, std::uint8_t *firstRow, std::ptrdiff_t stride,
                     const GifDecodeProgress &progress = {});

// What decoding a frame of this size allocates besides the caller's rows:
// one byte a pixel for the pixels in stream order, the string table and a
// joined copy of the data.
std::size_t DecodeWorkBytes(int width, int height, std::size_t codeStreamSize);

} // namespace darvolt
