#include "gifwriter.h"

#include <algorithm>
#include <string>

namespace darvolt {

namespace {

class ByteSink
{
public:
    void Byte(unsigned b) { Bytes.push_back(std::uint8_t(b)); }
    void Word(unsigned w)
    {
        Byte(w & 0xFF);
        Byte((w >> 8) & 0xFF);
    }
    void Append(std::span<const std::uint8_t> data) { Bytes.insert(Bytes.end(), data.begin(), data.end()); }
    void Append(const std::string &s) { Bytes.insert(Bytes.end(), s.begin(), s.end()); }

    // Data sub-blocks of at most 255 bytes, then the terminator.
    void SubBlocks(const std::vector<std::string> &blocks)
    {
        for (const std::string &block : blocks) {
            for (std::size_t pos = 0; pos < block.size(); pos += 255) {
                const std::size_t n = std::min<std::size_t>(255, block.size() - pos);
                Byte(unsigned(n));
                Append(block.substr(pos, n));
            }
        }
        Byte(0);
    }

    std::vector<std::uint8_t> Bytes;
};

unsigned TableSizeBits(const GifColorTable &table)
{
    unsigned bits = 1;
    while ((1u << bits) < table.Count && bits < 8)
        ++bits;
    return bits - 1;
}

void WriteTable(ByteSink &out, const GifColorTable &table)
{
    const std::uint32_t count = 1u << (TableSizeBits(table) + 1);
    out.Append(std::span(table.Entries.data(), 3 * std::size_t(count)));
}

// First table index holding the colour, or -1.
int IndexOf(const GifColorTable &table, GifColor color)
{
    for (unsigned i = 0; i < table.Count && i < 256; ++i) {
        if (table.ColorAt(i) == color)
            return int(i);
    }
    return -1;
}

void WriteGraphicControl(ByteSink &out, const GifFrameRecord &frame)
{
    const int key = frame.KeyColor == GifNoColor ? -1 : IndexOf(frame.EncodedImage->FrameColors, frame.KeyColor);
    out.Byte(0x21);
    out.Byte(0xF9);
    out.Byte(4);
    out.Byte(unsigned((frame.Disposal & 7) << 2) | (key >= 0 ? 1u : 0u));
    out.Word(frame.DelayMs / 10u);
    out.Byte(key >= 0 ? unsigned(key) : 0u);
    out.Byte(0);
}

void WriteCodeStream(ByteSink &out, const std::vector<std::uint8_t> &stream)
{
    if (stream.empty()) {
        out.Byte(2); // an empty picture: code size, no data
        out.Byte(0);
        return;
    }
    // Copy whole sub-blocks and make sure a terminator closes them.
    out.Byte(stream[0]);
    std::size_t pos = 1;
    while (pos < stream.size()) {
        const std::size_t count = stream[pos];
        if (count == 0)
            break;
        const std::size_t available = std::min(count, stream.size() - pos - 1);
        out.Byte(unsigned(available));
        out.Append(std::span(stream.data() + pos + 1, available));
        pos += 1 + count;
    }
    out.Byte(0);
}

void WriteFrame(ByteSink &out, const GifFrameRecord &frame)
{
    const TGIFItem &item = *frame.EncodedImage;
    WriteGraphicControl(out, frame);
    for (const TExtension &ext : frame.ExtensionList) {
        if (ext.ExtKind != ekComment)
            continue;
        out.Byte(0x21);
        out.Byte(0xFE);
        out.SubBlocks(ext.SubBlocks);
    }
    out.Byte(0x2C);
    out.Word(unsigned(frame.FrameLeft));
    out.Word(unsigned(frame.FrameTop));
    out.Word(unsigned(item.PixelWidth));
    out.Word(unsigned(item.PixelHeight));
    unsigned packed = frame.IsInterlaced ? 0x40u : 0u;
    if (frame.HasLocalColors && item.FrameColors.Count > 0)
        packed |= 0x80u | TableSizeBits(item.FrameColors);
    out.Byte(packed);
    if (packed & 0x80u)
        WriteTable(out, item.FrameColors);
    WriteCodeStream(out, item.CodeStream);
}

} // namespace

std::vector<std::uint8_t> WriteGifStream(const GifStreamContent &content)
{
    ByteSink out;
    const TGIFData &header = *content.HeaderData;
    out.Append(std::string(content.GifVersion == 1 ? "GIF87a" : "GIF89a"));
    out.Word(content.LogicalWidth);
    out.Word(content.LogicalHeight);
    const GifColorTable &global = header.GlobalColors;
    unsigned packed = unsigned((std::max(header.ColorResolution, std::uint8_t(1)) - 1) & 7) << 4;
    if (global.Count > 0)
        packed |= 0x80u | TableSizeBits(global);
    else
        packed |= unsigned(std::max(header.GlobalBits, std::uint8_t(1)) - 1) & 7;
    out.Byte(packed);
    const int background = content.BackColor == GifNoColor ? -1 : IndexOf(global, content.BackColor);
    // Without a matching entry, point past the table so that no background
    // colour is read back.
    if (background >= 0)
        out.Byte(unsigned(background));
    else
        out.Byte(global.Count > 0 && global.Count < 256 ? global.Count : 0u);
    out.Byte(header.AspectByte);
    if (global.Count > 0)
        WriteTable(out, global);

    if (content.LoopFlag) {
        out.Byte(0x21);
        out.Byte(0xFF);
        out.Byte(11);
        out.Append(std::string("NETSCAPE2.0"));
        out.Byte(3);
        out.Byte(1);
        out.Word(content.LoopCount);
        out.Byte(0);
    }
    for (const GifFrameRecord &frame : content.Frames)
        WriteFrame(out, frame);
    if (!header.CommentLines.empty()) {
        out.Byte(0x21);
        out.Byte(0xFE);
        out.SubBlocks(header.CommentLines);
    }
    out.Byte(0x3B);
    return std::move(out.Bytes);
}

std::vector<std::uint8_t> EncodeLiteralCodeStream(std::span<const std::uint8_t> indices, int bits)
{
    const int codeSize = std::clamp(bits, 2, 8);
    const unsigned clearCode = 1u << codeSize;
    const int width = codeSize + 1;
    // After a clear, each code but the first makes a table entry; a clear
    // comes before the entries would reach the next code width.
    const unsigned codesPerClear = clearCode - 2;

    std::vector<std::uint8_t> data;
    std::uint32_t acc = 0;
    int filled = 0;
    auto put = [&](unsigned code) {
        acc |= code << filled;
        filled += width;
        while (filled >= 8) {
            data.push_back(std::uint8_t(acc & 0xFF));
            acc >>= 8;
            filled -= 8;
        }
    };
    const unsigned mask = (1u << bits) - 1;
    unsigned sinceClear = codesPerClear;
    for (std::uint8_t index : indices) {
        if (sinceClear == codesPerClear) {
            put(clearCode);
            sinceClear = 0;
        }
        put(index & mask);
        ++sinceClear;
    }
    put(clearCode + 1);
    if (filled > 0)
        data.push_back(std::uint8_t(acc & 0xFF));

    std::vector<std::uint8_t> stream{std::uint8_t(codeSize)};
    for (std::size_t pos = 0; pos < data.size(); pos += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - pos);
        stream.push_back(std::uint8_t(n));
        stream.insert(stream.end(), data.begin() + std::ptrdiff_t(pos), data.begin() + std::ptrdiff_t(pos + n));
    }
    stream.push_back(0);
    return stream;
}

} // namespace darvolt
