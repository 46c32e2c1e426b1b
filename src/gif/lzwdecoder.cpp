#include "lzwdecoder.h"

#include "giferrors.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr int MaxCodeWidth = 12;
constexpr unsigned TableSize = 1u << MaxCodeWidth;
// A chain that is still not at a root after this many entries is not a
// string any encoder can have made: it is corrupt or loops.
constexpr unsigned StackLimit = TableSize + 1;

// The data bytes of all sub-blocks, joined, so that codes can be read
// without watching block boundaries. Block ends are kept (payload offset,
// stream offset) only when someone listens for progress.
struct Payload
{
    std::vector<std::uint8_t> bytes;
    std::vector<std::pair<std::size_t, std::size_t>> blockEnds;
};

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
            while (Count_ <= 56 && Next_ != End_) {
                Bits_ |= std::uint64_t(*Next_++) << Count_;
                Count_ += 8;
            }
            if (Count_ < width)
                return false;
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

// Where the next pixel goes: rows top to bottom (or by the interlace passes)
// in a bottom-up buffer.
class RowWriter
{
public:
    RowWriter(std::uint8_t *buffer, std::size_t rowSize, int width, int height, bool interlaced)
        : Width(width), Buffer_(buffer), RowSize_(rowSize), Height_(height), Interlaced_(interlaced)
    {
        SelectRow();
    }

    template <int Bits>
    void Put(std::uint8_t value)
    {
        if constexpr (Bits == 8) {
            Row[X] = value;
        } else if constexpr (Bits == 4) {
            std::uint8_t &b = Row[X >> 1];
            if (X & 1)
                b = std::uint8_t(b | (value & 0x0F));
            else
                b = std::uint8_t((value & 0x0F) << 4);
        } else {
            std::uint8_t &b = Row[X >> 3];
            const int shift = 7 - (X & 7);
            if (shift == 7)
                b = std::uint8_t((value & 1) << 7);
            else
                b = std::uint8_t(b | (value & 1) << shift);
        }
        if (++X == Width)
            NextRow();
    }

    void NextRow()
    {
        X = 0;
        if (!Interlaced_) {
            ++Y_;
        } else {
            static constexpr int step[4] = {8, 8, 4, 2};
            static constexpr int start[4] = {0, 4, 2, 1};
            Y_ += step[Pass_];
            while (Y_ >= Height_ && Pass_ < 3) {
                ++Pass_;
                Y_ = start[Pass_];
            }
        }
        if (Y_ >= Height_)
            Done = true;
        else
            SelectRow();
    }

    std::uint8_t *Row = nullptr;
    int X = 0;
    const int Width;
    bool Done = false;

private:
    void SelectRow() { Row = Buffer_ + std::size_t(Height_ - 1 - Y_) * RowSize_; }

    std::uint8_t *Buffer_;
    std::size_t RowSize_;
    int Height_;
    bool Interlaced_;
    int Y_ = 0;
    int Pass_ = 0;
};

class Decoder
{
public:
    Decoder(const Payload &payload, std::size_t streamSize, int codeSize, int pixelBits, bool tolerant,
            const GifDecodeProgress &progress)
        : Payload_(payload), StreamSize_(streamSize), Reader_(payload.bytes), CodeSize_(codeSize),
          RootMask_((1u << pixelBits) - 1), Tolerant_(tolerant), Progress_(progress)
    {
    }

    template <int Bits>
    bool Run(RowWriter &out);

private:
    void Report()
    {
        if (!Progress_)
            return;
        // The stream position is the end of the sub-block holding the last
        // byte read, as a reader that loads whole sub-blocks would stand.
        const std::size_t consumed = Reader_.Consumed();
        while (Block_ < Payload_.blockEnds.size() && Payload_.blockEnds[Block_].first < consumed)
            ++Block_;
        std::size_t pos = StreamSize_;
        if (Block_ < Payload_.blockEnds.size())
            pos = Payload_.blockEnds[Block_].second;
        const int percent = StreamSize_ ? int(std::lround(double(pos) * 100.0 / double(StreamSize_))) : 100;
        Progress_(psRunning, percent, std::string());
    }

    template <int Bits>
    void Emit(RowWriter &out, unsigned count)
    {
        if constexpr (Bits == 8) {
            while (count > 0 && !out.Done) {
                const unsigned n = std::min(count, unsigned(out.Width - out.X));
                std::uint8_t *dest = out.Row + out.X;
                for (unsigned i = 0; i < n; ++i)
                    dest[i] = Stack_[count - 1 - i];
                count -= n;
                out.X += int(n);
                if (out.X == out.Width)
                    out.NextRow();
            }
        } else {
            while (count > 0 && !out.Done)
                out.Put<Bits>(Stack_[--count]);
        }
    }

    const Payload &Payload_;
    std::size_t StreamSize_;
    CodeReader Reader_;
    int CodeSize_;
    unsigned RootMask_;
    bool Tolerant_;
    const GifDecodeProgress &Progress_;
    std::size_t Block_ = 0;
    std::uint16_t Prefix_[TableSize] = {};
    std::uint8_t Suffix_[TableSize] = {};
    std::uint8_t Stack_[StackLimit + 1] = {};
};

template <int Bits>
bool Decoder::Run(RowWriter &out)
{
    const unsigned clearCode = 1u << CodeSize_;
    const unsigned endCode = clearCode + 1;
    int width = CodeSize_ + 1;
    unsigned nextFree = clearCode + 2;
    bool tableFull = false;
    unsigned prev = 0;
    std::uint8_t first = 0;
    // Before any code no entry can be made: a stream that leaves out its
    // opening clear code starts exactly as if it had one.
    bool havePrev = false;
    unsigned code = 0;

    while (!out.Done) {
        if (!Reader_.Read(width, code))
            return true; // the data ended before the picture did
        if (code == endCode)
            return false;
        if (code == clearCode) {
            width = CodeSize_ + 1;
            nextFree = clearCode + 2;
            tableFull = false;
            do {
                if (!Reader_.Read(width, code))
                    return true;
            } while (code == clearCode);
            if (code == endCode)
                return false;
            first = std::uint8_t(code & RootMask_);
            out.Put<Bits>(first);
            prev = code;
            havePrev = true;
            Report();
            continue;
        }

        const unsigned current = code;
        unsigned sp = 0;
        if (code >= nextFree) {
            code = prev;
            Stack_[sp++] = first;
        }
        while (code >= clearCode) {
            if (sp == StackLimit) {
                if (!Tolerant_)
                    throw EInvalidGraphicOperation(GifMessages::CorruptData);
                return true;
            }
            Stack_[sp++] = Suffix_[code];
            code = Prefix_[code];
        }
        first = std::uint8_t(code & RootMask_);
        Stack_[sp++] = first;
        Emit<Bits>(out, sp);

        if (havePrev && !tableFull) {
            Prefix_[nextFree] = std::uint16_t(prev);
            Suffix_[nextFree] = first;
            if (++nextFree == (1u << width)) {
                if (width < MaxCodeWidth)
                    ++width;
                else
                    tableFull = true;
            }
        }
        prev = current;
        havePrev = true;
        Report();
    }
    return false;
}

bool DecodeChecked(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                   bool interlaced, int pixelBits, bool tolerant, std::span<std::uint8_t> pixels,
                   const GifDecodeProgress &progress)
{
    const int codeSize = codeStream.empty() ? 0 : codeStream[0];
    if (codeSize < 2 || codeSize > 9)
        throw EInvalidGraphicOperation(GifMessages::CodeSizeRange);
    if (pixelBits < 1 || pixelBits > 8)
        throw EInvalidGraphicOperation(GifMessages::WrongColorCount);
    if (targetBits != 1 && targetBits != 4 && targetBits != 8)
        throw std::invalid_argument("DecodeFrame: target depth must be 1, 4 or 8");
    if (width < 0 || height < 0)
        throw std::invalid_argument("DecodeFrame: negative size");
    const std::size_t rowSize = GifRowSize(width, targetBits);
    if (pixels.size() < rowSize * std::size_t(height))
        throw std::invalid_argument("DecodeFrame: pixel buffer too small");

    if (progress)
        progress(psStarting, 0, std::string());
    if (width == 0 || height == 0)
        return false; // nothing to place, whatever the data holds

    const Payload payload = JoinSubBlocks(codeStream, bool(progress));
    auto decoder = std::make_unique<Decoder>(payload, codeStream.size(), codeSize, pixelBits,
                                             tolerant, progress);
    RowWriter out(pixels.data(), rowSize, width, height, interlaced);
    switch (targetBits) {
    case 1: return decoder->Run<1>(out);
    case 4: return decoder->Run<4>(out);
    default: return decoder->Run<8>(out);
    }
}

} // namespace

bool DecodeFrame(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                 bool interlaced, int pixelBits, bool tolerant, std::span<std::uint8_t> pixels,
                 const GifDecodeProgress &progress)
{
    if (!progress)
        return DecodeChecked(codeStream, width, height, targetBits, interlaced, pixelBits,
                             tolerant, pixels, progress);
    try {
        const bool corrupt = DecodeChecked(codeStream, width, height, targetBits, interlaced,
                                           pixelBits, tolerant, pixels, progress);
        progress(psEnding, 100, std::string());
        return corrupt;
    } catch (const std::exception &e) {
        progress(psEnding, 0, e.what());
        throw;
    }
}
