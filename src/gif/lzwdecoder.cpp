#include "lzwdecoder.h"

#include "giferrors.h"
#include "lzwbits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace darvolt {

namespace {

using namespace gifdetail;

constexpr int MaxCodeWidth = 12;
constexpr unsigned TableSize = 1u << MaxCodeWidth;
// A chain that is still not at a root after this many entries is not a
// string any encoder can have made: it is corrupt or loops.
constexpr unsigned StackLimit = TableSize + 1;

class Decoder
{
public:
    Decoder(const Payload &payload, std::size_t streamSize, int codeSize, int pixelBits, bool tolerant,
            const GifDecodeProgress &progress)
        : Payload_(payload), StreamSize_(streamSize), Reader_(payload.bytes), CodeSize_(codeSize),
          RootMask_((1u << pixelBits) - 1), Tolerant_(tolerant), Progress_(progress)
    {
    }

    // Decodes into out; true when the data was found corrupt.
    bool Run(PixelRun &out);

private:
    enum class Step { Done, Corrupt, Irregular };

    Step Regular(PixelRun &out, unsigned &code);
    bool Chains(PixelRun &out, unsigned code);

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

    void Clear()
    {
        Width_ = CodeSize_ + 1;
        NextFree_ = (1u << CodeSize_) + 2;
        TableFull_ = false;
    }

    // After each code but the first: the entry "previous string + first
    // pixel of this one", and the wider code once the slots run out.
    void AddEntry(std::uint32_t prevPos, std::uint32_t prevLength)
    {
        if (!HavePrev_ || TableFull_)
            return;
        Prefix_[NextFree_] = std::uint16_t(Prev_);
        Suffix_[NextFree_] = First_;
        Pos_[NextFree_] = prevPos;
        Length_[NextFree_] = prevLength + 1;
        if (++NextFree_ == (1u << Width_)) {
            if (Width_ < MaxCodeWidth)
                ++Width_;
            else
                TableFull_ = true;
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

    int Width_ = 0;
    unsigned NextFree_ = 0;
    bool TableFull_ = false;
    unsigned Prev_ = 0;
    std::uint8_t First_ = 0;
    // Before any code no entry can be made: a stream that leaves out its
    // opening clear code starts exactly as if it had one.
    bool HavePrev_ = false;
    bool AfterClear_ = false;
    std::uint32_t PrevPos_ = 0;
    std::uint32_t PrevLength_ = 0;

    std::uint16_t Prefix_[TableSize] = {};
    std::uint8_t Suffix_[TableSize] = {};
    // Where each entry's string was first written, and its length: in a
    // well-formed stream every string is an earlier one plus one pixel, so
    // it can be copied from the output instead of walked backwards.
    std::uint32_t Pos_[TableSize] = {};
    std::uint32_t Length_[TableSize] = {};
    std::uint8_t Stack_[StackLimit + 1] = {};
};

bool Decoder::Run(PixelRun &out)
{
    Clear();
    const unsigned clearCode = 1u << CodeSize_;
    for (unsigned root = 0; root < clearCode; ++root) {
        out.bytes[root] = std::uint8_t(root & RootMask_);
        Pos_[root] = root;
        Length_[root] = 1;
    }
    unsigned code = 0;
    switch (Regular(out, code)) {
    case Step::Done: return false;
    case Step::Corrupt: return true;
    case Step::Irregular: break;
    }
    return Chains(out, code);
}

// Well-formed codes; stops at the first code that names a slot beyond the
// next free one (or a table code right after a clear), which only the
// prefix chains can give a meaning.
Decoder::Step Decoder::Regular(PixelRun &out, unsigned &code)
{
    // The state lives in locals here: stores of pixel bytes could alias
    // members and would make every code reload them.
    const unsigned clearCode = 1u << CodeSize_;
    const unsigned endCode = clearCode + 1;
    std::uint8_t *const base = out.bytes.data();
    const std::size_t total = out.bytes.size();
    std::size_t count = out.count;
    CodeReader reader = Reader_;
    int width = Width_;
    unsigned nextFree = NextFree_;
    bool tableFull = TableFull_;
    bool havePrev = HavePrev_;
    bool afterClear = AfterClear_;
    unsigned prev = Prev_;
    std::uint8_t first = First_;
    std::uint32_t prevPos = PrevPos_;
    std::uint32_t prevLength = PrevLength_;
    Step result = Step::Done;

    while (count < total) {
        if (!reader.Read(width, code)) {
            result = Step::Corrupt; // the data ended before the picture did
            break;
        }
        if (code == endCode)
            break;
        if (code == clearCode) {
            width = CodeSize_ + 1;
            nextFree = clearCode + 2;
            tableFull = false;
            havePrev = false;
            afterClear = true;
            continue;
        }
        const auto start = std::uint32_t(count);
        std::uint8_t *dest = base + count;
        const std::size_t room = total - count;
        std::uint32_t length;
        const std::uint8_t *src;
        // Roots and table entries alike: copy an earlier string.
        const bool known = (code < clearCode) | (havePrev & (code < nextFree));
        if (known || (havePrev && code == nextFree)) {
            const bool pending = !known; // the slot about to be made
            src = base + (pending ? prevPos : Pos_[code]);
            length = pending ? prevLength + 1 : Length_[code];
            const std::uint32_t copied = pending ? prevLength : length;
            if (copied <= 16 && room >= 16) {
                std::uint64_t a, b;
                std::memcpy(&a, src, 8);
                std::memcpy(&b, src + 8, 8);
                std::memcpy(dest, &a, 8);
                std::memcpy(dest + 8, &b, 8);
            } else {
                std::memcpy(dest, src, std::min<std::size_t>(copied, room));
            }
            first = src[0];
            if (pending && copied < room)
                dest[copied] = first;
        } else {
            result = Step::Irregular;
            break;
        }
        count += std::min<std::size_t>(length, room);
        afterClear = false;
        if (havePrev && !tableFull) {
            Prefix_[nextFree] = std::uint16_t(prev);
            Suffix_[nextFree] = first;
            Pos_[nextFree] = prevPos;
            Length_[nextFree] = prevLength + 1;
            if (++nextFree == (1u << width)) {
                if (width < MaxCodeWidth)
                    ++width;
                else
                    tableFull = true;
            }
        }
        prev = code;
        prevPos = start;
        prevLength = length;
        havePrev = true;
        if (Progress_) {
            Reader_ = reader;
            Report();
        }
    }

    out.count = count;
    Reader_ = reader;
    Width_ = width;
    NextFree_ = nextFree;
    TableFull_ = tableFull;
    HavePrev_ = havePrev;
    AfterClear_ = afterClear;
    Prev_ = prev;
    First_ = first;
    PrevPos_ = prevPos;
    PrevLength_ = prevLength;
    return result;
}

// The general rule: follow prefix chains through the table, at most 4097
// entries deep; anything longer is corrupt (or loops).
bool Decoder::Chains(PixelRun &out, unsigned code)
{
    const unsigned clearCode = 1u << CodeSize_;
    const unsigned endCode = clearCode + 1;
    bool pending = true; // `code` has been read already
    while (!out.Full()) {
        if (!pending && !Reader_.Read(Width_, code))
            return true;
        const bool wasPending = pending;
        pending = false;
        if (code == endCode)
            return false;
        if (code == clearCode || (wasPending && AfterClear_)) {
            // The code after a clear is taken as one pixel, whatever it is.
            while (code == clearCode) {
                Clear();
                if (!Reader_.Read(Width_, code))
                    return true;
            }
            AfterClear_ = false;
            if (code == endCode)
                return false;
            First_ = std::uint8_t(code & RootMask_);
            out.bytes[out.count++] = First_;
            Prev_ = code;
            HavePrev_ = true;
            Report();
            continue;
        }

        const unsigned current = code;
        unsigned sp = 0;
        if (code >= NextFree_) {
            code = Prev_;
            Stack_[sp++] = First_;
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
        First_ = std::uint8_t(code & RootMask_);
        Stack_[sp++] = First_;
        const auto start = std::uint32_t(out.count);
        while (sp > 0 && !out.Full())
            out.bytes[out.count++] = Stack_[--sp];
        AddEntry(PrevPos_, PrevLength_);
        Prev_ = current;
        PrevPos_ = start;
        PrevLength_ = std::uint32_t(out.count) - start;
        HavePrev_ = true;
        Report();
    }
    return false;
}

// Where decoded rows go: DecodeFrame's bottom-up buffer, or image row 0
// and the step to the next row.
struct RowTarget
{
    std::span<std::uint8_t> bottomUp;
    std::uint8_t *firstRow = nullptr;
    std::ptrdiff_t stride = 0;
};

bool DecodeChecked(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                   bool interlaced, int pixelBits, bool tolerant, RowTarget rows, const GifDecodeProgress &progress)
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
    if (!rows.firstRow) {
        const std::size_t rowSize = GifRowSize(width, targetBits);
        if (rows.bottomUp.size() < rowSize * std::size_t(height))
            throw std::invalid_argument("DecodeFrame: pixel buffer too small");
        if (height > 0)
            rows.firstRow = rows.bottomUp.data() + rowSize * std::size_t(height - 1);
        rows.stride = -std::ptrdiff_t(rowSize);
    }

    if (progress)
        progress(psStarting, 0, std::string());
    if (width == 0 || height == 0)
        return false; // nothing to place, whatever the data holds

    const Payload payload = JoinSubBlocks(codeStream, bool(progress));
    auto decoder = std::make_unique<Decoder>(payload, codeStream.size(), codeSize, pixelBits,
                                             tolerant, progress);
    PixelRun run;
    run.origin = std::size_t(1) << codeSize;
    run.count = run.origin;
    run.bytes.assign(run.origin + std::size_t(width) * std::size_t(height), 0);
    const bool corrupt = decoder->Run(run);
    PlaceRows(run, width, targetBits, interlaced, height, rows.firstRow, rows.stride);
    return corrupt;
}

bool DecodeReporting(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                     bool interlaced, int pixelBits, bool tolerant, RowTarget rows,
                     const GifDecodeProgress &progress)
{
    if (!progress)
        return DecodeChecked(codeStream, width, height, targetBits, interlaced, pixelBits, tolerant, rows,
                             progress);
    try {
        const bool corrupt = DecodeChecked(codeStream, width, height, targetBits, interlaced, pixelBits,
                                           tolerant, rows, progress);
        progress(psEnding, 100, std::string());
        return corrupt;
    } catch (const std::exception &e) {
        progress(psEnding, 0, e.what());
        throw;
    }
}

} // namespace

bool DecodeFrame(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                 bool interlaced, int pixelBits, bool tolerant, std::span<std::uint8_t> pixels,
                 const GifDecodeProgress &progress)
{
    return DecodeReporting(codeStream, width, height, targetBits, interlaced, pixelBits, tolerant,
                           RowTarget{pixels}, progress);
}

bool DecodeFrameRows(std::span<const std::uint8_t> codeStream, int width, int height, int targetBits,
                     bool interlaced, int pixelBits, bool tolerant, std::uint8_t *firstRow, std::ptrdiff_t stride,
                     const GifDecodeProgress &progress)
{
    return DecodeReporting(codeStream, width, height, targetBits, interlaced, pixelBits, tolerant,
                           RowTarget{{}, firstRow, stride}, progress);
}

std::size_t DecodeWorkBytes(int width, int height, std::size_t codeStreamSize)
{
    constexpr std::size_t largestOrigin = std::size_t(1) << 9;
    return sizeof(Decoder) + largestOrigin + std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)) +
           codeStreamSize;
}

} // namespace darvolt
