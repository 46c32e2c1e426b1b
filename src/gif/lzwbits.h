#pragma once

// Internals of the LZW decoder: the joined sub-block data, the code reader
// and the placing of decoded pixels into rows.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

namespace darvolt {

namespace gifdetail {

// The data bytes of all sub-blocks, joined, so that codes can be read
// without watching block boundaries. Block ends are kept (payload offset,
// stream offset) only when someone listens for progress.
struct Payload
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::pair<std::size_t, std::size_t>> blockEnds;
};

Payload JoinSubBlocks(std::span<const std::uint8_t> stream, bool keepBlockEnds);

// Codes of a variable width, least significant bit first. Never reads
// beyond the bytes it holds: a code that would need more gives false.
class CodeReader
{
public:
    explicit CodeReader(const std::vector<std::uint8_t> &bytes)
        : Next_(bytes.data()), End_(bytes.data() + bytes.size()), Begin_(bytes.data())
    {
    }

    bool Read(int width, unsigned &code)
    {
        if (Count_ < width) {
            if (End_ - Next_ >= 8) {
                // Whole bytes up to 56 bits at once; bits above the count are
                // the same bytes the next refill brings in again.
                std::uint64_t word;
                std::memcpy(&word, Next_, 8);
                Bits_ |= word << Count_;
                Next_ += (63 - Count_) >> 3;
                Count_ |= 56;
            } else {
                while (Count_ <= 56 && Next_ != End_) {
                    Bits_ |= std::uint64_t(*Next_++) << Count_;
                    Count_ += 8;
                }
                if (Count_ < width)
                    return false;
            }
        }
        code = unsigned(Bits_) & ((1u << width) - 1);
        Bits_ >>= width;
        Count_ -= width;
        return true;
    }

    // Payload bytes consumed by the codes read so far (partly read bytes count).
    std::size_t Consumed() const { return std::size_t(Next_ - Begin_) - std::size_t(Count_ / 8); }

private:
    const std::uint8_t *Next_;
    const std::uint8_t *End_;
    const std::uint8_t *Begin_;
    std::uint64_t Bits_ = 0;
    int Count_ = 0;
};

// Pixels in stream order, one byte each; placed into rows at the end.
// Anything beyond the last pixel is dropped. The first `origin` bytes hold
// every root's pixel, so that a root is a string like any other.
struct PixelRun
{
    std::vector<std::uint8_t> bytes;
    std::size_t origin = 0;
    std::size_t count = 0;

    bool Full() const { return count == bytes.size(); }
    std::size_t Room() const { return bytes.size() - count; }
};

// Stream-order pixels into rows, row by row (or by the interlace passes),
// packed to the target depth (1, 4 or 8 bits). Image row y starts at
// firstRow + y * stride: a bottom-up buffer has its last row first and a
// negative stride. Only pixels the codes wrote are placed; the rest of a
// row keeps what the buffer held (index 0).
void PlaceRows(const PixelRun &run, int width, int targetBits, bool interlaced, int height,
               std::uint8_t *firstRow, std::ptrdiff_t stride);

} // namespace gifdetail

} // namespace darvolt
