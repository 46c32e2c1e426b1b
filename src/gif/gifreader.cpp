#include "gifreader.h"

#include "giferrors.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace darvolt {

namespace {

constexpr std::uint8_t ExtensionIntroducer = 0x21; // '!'
constexpr std::uint8_t ImageSeparator = 0x2C;      // ','
constexpr std::uint8_t Trailer = 0x3B;             // ';'

// Reads from the private copy of the stream. Exact reads raise the stream
// layer's error when they come short; plain reads take what is there.
class ByteSource
{
public:
    explicit ByteSource(std::span<const std::uint8_t> bytes) : Bytes_(bytes) {}

    bool AtEnd() const { return Pos_ >= Bytes_.size(); }
    std::size_t Remaining() const { return Bytes_.size() - Pos_; }

    // One byte, or 0 at the end.
    std::uint8_t Byte() { return AtEnd() ? 0 : Bytes_[Pos_++]; }

    // Up to n bytes into dest; the rest of dest is left as it was.
    std::size_t Read(std::uint8_t *dest, std::size_t n)
    {
        const std::size_t got = std::min(n, Remaining());
        if (got)
            std::memcpy(dest, Bytes_.data() + Pos_, got);
        Pos_ += got;
        return got;
    }

    void ReadExact(std::uint8_t *dest, std::size_t n)
    {
        if (Read(dest, n) != n)
            throw EReadError(GifMessages::StreamRead);
    }

    std::string ReadString(std::size_t n)
    {
        const std::size_t got = std::min(n, Remaining());
        std::string s(reinterpret_cast<const char *>(Bytes_.data() + Pos_), got);
        Pos_ += got;
        return s;
    }

    void AppendTo(std::vector<std::uint8_t> &dest, std::size_t n)
    {
        dest.insert(dest.end(), Bytes_.begin() + std::ptrdiff_t(Pos_),
                    Bytes_.begin() + std::ptrdiff_t(Pos_ + n));
        Pos_ += n;
    }

private:
    std::span<const std::uint8_t> Bytes_;
    std::size_t Pos_ = 0;
};

bool EqualsIgnoringCase(const std::uint8_t *bytes, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : char(c); };
        if (lower(bytes[i]) != lower(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

void ReadColorTable(ByteSource &src, GifColorTable &table, int bits, bool exact)
{
    table.Count = 1u << bits;
    if (exact)
        src.ReadExact(table.Entries.data(), 3 * table.Count);
    else
        src.Read(table.Entries.data(), 3 * table.Count);
}

std::vector<std::string> ReadSubBlocks(ByteSource &src)
{
    std::vector<std::string> blocks;
    while (!src.AtEnd()) {
        const std::size_t count = src.Byte();
        if (count == 0)
            break;
        blocks.push_back(src.ReadString(count));
    }
    return blocks;
}

TExtension ReadExtensionBlock(ByteSource &src)
{
    TExtension ext;
    const std::uint8_t label = src.Byte();
    std::size_t fixedSize = 0;
    bool hasSubBlocks = true;
    switch (label) {
    case 0xF9: ext.ExtKind = ekGraphicControl; fixedSize = 6; hasSubBlocks = false; break;
    case 0xFE: ext.ExtKind = ekComment; break;
    case 0x01: ext.ExtKind = ekPlainText; fixedSize = 13; break;
    case 0xFF: ext.ExtKind = ekApplication; fixedSize = 12; break;
    default: throw EInvalidGraphicOperation(GifMessages::UnrecognizedExtensionText(label));
    }
    if (fixedSize) {
        std::uint8_t fixed[13];
        src.ReadExact(fixed, fixedSize);
        ext.FixedBlock.assign(reinterpret_cast<const char *>(fixed), fixedSize);
    }
    if (hasSubBlocks)
        ext.SubBlocks = ReadSubBlocks(src);
    return ext;
}

void ApplyLoopExtension(const TExtension &ext, GifStreamContent &content)
{
    static constexpr std::string_view netscape = "NETSCAPE2.0";
    if (ext.ExtKind != ekApplication || ext.FixedBlock.empty())
        return;
    const std::size_t compared = std::min<std::size_t>(std::uint8_t(ext.FixedBlock[0]), netscape.size());
    if (ext.FixedBlock.compare(1, compared, netscape.substr(0, compared)) != 0)
        return;
    if (ext.SubBlocks.empty())
        return;
    const std::string &data = ext.SubBlocks.front();
    if (data.size() <= 2 || data[0] != 1)
        return;
    const unsigned count = std::uint8_t(data[1]) | unsigned(std::uint8_t(data[2])) << 8;
    content.LoopFlag = true;
    content.LoopCount = std::uint16_t(std::min<unsigned>(count, GifMaxLoopCount));
}

// Consumes consecutive extensions, starting with the introducer already
// read; leaves the next introducer in `introducer`.
std::vector<TExtension> ReadExtensionRun(ByteSource &src, std::uint8_t &introducer,
                                         GifStreamContent &content)
{
    std::vector<TExtension> run;
    while (introducer == ExtensionIntroducer) {
        TExtension ext = ReadExtensionBlock(src);
        // Extensions before a plain text block belonged to the text, not to
        // the next image.
        if (ext.ExtKind == ekPlainText)
            run.clear();
        if (ext.ExtKind == ekPlainText || ext.ExtKind == ekApplication)
            ApplyLoopExtension(ext, content);
        else
            run.push_back(std::move(ext));
        if (src.AtEnd()) {
            introducer = Trailer;
            break;
        }
        introducer = src.Byte();
    }
    return run;
}

void ApplyGraphicControls(GifFrameRecord &frame)
{
    const GifColorTable &colors = frame.EncodedImage->FrameColors;
    unsigned delay = 0;
    for (const TExtension &ext : frame.ExtensionList) {
        if (ext.ExtKind != ekGraphicControl)
            continue;
        const std::uint8_t flags = ext.ControlFlags();
        if (flags & 1) {
            if (ext.TransparentIndex() < colors.Count)
                frame.KeyColor = colors.ColorAt(ext.TransparentIndex());
        } else {
            frame.KeyColor = GifNoColor;
        }
        // Milliseconds in 16 bits: longer delays keep their low bits.
        delay = std::uint16_t(std::max(delay, unsigned(ext.ControlDelay()) * 10));
        frame.Disposal = std::uint8_t((flags >> 2) & 7);
    }
    frame.DelayMs = std::uint16_t(delay);
}

GifFrameRecord ReadImageBlock(ByteSource &src, std::vector<TExtension> extensions,
                              const GifStreamContent &content)
{
    GifFrameRecord frame;
    TGIFItem &item = *frame.EncodedImage;
    const GifColorTable &global = content.HeaderData->GlobalColors;
    if (global.Count > 0)
        item.PixelBits = std::uint8_t(ColorCountToBits(global.Count));
    frame.ExtensionList = std::move(extensions);

    std::uint8_t d[9];
    src.ReadExact(d, sizeof d);
    const std::uint8_t packed = d[8];
    frame.IsInterlaced = (packed & 0x40) != 0;
    if (packed & 0x80) {
        item.PixelBits = std::uint8_t((packed & 7) + 1);
        ReadColorTable(src, item.FrameColors, item.PixelBits, true);
        frame.HasLocalColors = true;
    } else {
        item.FrameColors = global;
    }

    std::uint8_t codeSize = 0;
    src.ReadExact(&codeSize, 1);
    item.CodeStream.push_back(codeSize);
    while (!src.AtEnd()) {
        const std::size_t count = src.Byte();
        if (count > src.Remaining()) {
            frame.IsCorrupt = true;
            break;
        }
        item.CodeStream.push_back(std::uint8_t(count));
        src.AppendTo(item.CodeStream, count);
        if (count == 0)
            break;
    }

    frame.FrameLeft = d[0] | d[1] << 8;
    frame.FrameTop = d[2] | d[3] << 8;
    item.PixelWidth = d[4] | d[5] << 8;
    item.PixelHeight = d[6] | d[7] << 8;
    item.DescriptorFlags = packed;
    ApplyGraphicControls(frame);
    return frame;
}

void AppendTrailingComments(const std::vector<TExtension> &run, TGIFData &header)
{
    for (const TExtension &ext : run) {
        if (ext.ExtKind != ekComment)
            continue;
        if (!header.CommentLines.empty())
            header.CommentLines.emplace_back("\r\n\r\n");
        header.CommentLines.insert(header.CommentLines.end(), ext.SubBlocks.begin(),
                                   ext.SubBlocks.end());
    }
}

} // namespace

void ReadGifStream(std::span<const std::uint8_t> bytes, GifStreamContent &content)
{
    content = GifStreamContent();
    if (bytes.empty())
        return;
    ByteSource src(bytes);
    TGIFData &header = *content.HeaderData;

    std::uint8_t sig[6] = {};
    src.Read(sig, 6);
    if (!EqualsIgnoringCase(sig, "GIF"))
        throw EInvalidGraphicOperation(GifMessages::UnknownVersion);
    if (EqualsIgnoringCase(sig + 3, "87a"))
        content.GifVersion = 1;
    else if (EqualsIgnoringCase(sig + 3, "89a"))
        content.GifVersion = 2;
    else
        throw EInvalidGraphicOperation(GifMessages::UnknownVersion);

    std::uint8_t screen[7] = {};
    src.Read(screen, 7);
    content.LogicalWidth = std::uint16_t(screen[0] | screen[1] << 8);
    content.LogicalHeight = std::uint16_t(screen[2] | screen[3] << 8);
    const std::uint8_t packed = screen[4];
    header.GlobalBits = std::uint8_t((packed & 7) + 1);
    header.ColorResolution = std::uint8_t(((packed >> 4) & 7) + 1);
    header.AspectByte = screen[6];
    if (packed & 0x80) {
        ReadColorTable(src, header.GlobalColors, header.GlobalBits, false);
        if (screen[5] < header.GlobalColors.Count)
            content.BackColor = header.GlobalColors.ColorAt(screen[5]);
    }

    std::uint8_t introducer = src.Byte();
    while (introducer != 0 && introducer != Trailer && !src.AtEnd()) {
        std::vector<TExtension> run = ReadExtensionRun(src, introducer, content);
        if (introducer == ImageSeparator) {
            content.Frames.push_back(ReadImageBlock(src, std::move(run), content));
            if (src.AtEnd()) {
                introducer = Trailer;
            } else {
                do {
                    introducer = src.Byte();
                } while (introducer == 0 && !src.AtEnd());
                if (introducer != ExtensionIntroducer && introducer != ImageSeparator &&
                    introducer != Trailer)
                    introducer = 0; // trailing bytes that start no block end reading quietly
            }
        } else if (header.CommentLines.empty() && !run.empty()) {
            AppendTrailingComments(run, header);
        } else if (introducer != 0 && introducer != Trailer) {
            throw EInvalidGraphicOperation(GifMessages::StreamRead);
        }
    }
}

} // namespace darvolt
