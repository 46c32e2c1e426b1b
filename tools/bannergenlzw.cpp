#include "bannergenlzw.h"

#include <algorithm>
#include <memory>

namespace {

class BitPacker
{
public:
    void Put(unsigned code, int width)
    {
        Acc_ |= std::uint32_t(code) << Filled_;
        Filled_ += width;
        while (Filled_ >= 8) {
            Bytes.push_back(std::uint8_t(Acc_ & 0xFF));
            Acc_ >>= 8;
            Filled_ -= 8;
        }
    }
    void Flush()
    {
        if (Filled_ > 0)
            Bytes.push_back(std::uint8_t(Acc_ & 0xFF));
        Acc_ = 0;
        Filled_ = 0;
    }
    std::vector<std::uint8_t> Bytes;

private:
    std::uint32_t Acc_ = 0;
    int Filled_ = 0;
};

} // namespace

std::vector<std::uint8_t> LzwEncode(const std::vector<std::uint8_t> &indices, int codeSize)
{
    constexpr unsigned TableSize = 4096;
    const unsigned clearCode = 1u << codeSize;
    const unsigned endCode = clearCode + 1;
    // Child code of (prefix code, next index); 0 means none yet.
    auto children = std::make_unique<std::uint16_t[]>(std::size_t(TableSize) * 256);
    unsigned nextCode = 0;
    int width = 0;
    BitPacker out;

    auto reset = [&] {
        std::fill_n(children.get(), std::size_t(TableSize) * 256, std::uint16_t(0));
        nextCode = clearCode + 2;
        width = codeSize + 1;
    };
    // The decoder makes its entry one code later than we do; it widens when
    // its own count reaches 2^width, which is when ours passes it.
    auto countEntry = [&] {
        if (nextCode < TableSize)
            ++nextCode;
        if (nextCode > (1u << width) && width < 12)
            ++width;
    };

    reset();
    out.Put(clearCode, width);
    if (!indices.empty()) {
        unsigned prefix = indices[0];
        for (std::size_t i = 1; i < indices.size(); ++i) {
            const unsigned next = indices[i];
            const std::uint16_t child = children[std::size_t(prefix) * 256 + next];
            if (child != 0) {
                prefix = child;
                continue;
            }
            out.Put(prefix, width);
            if (nextCode < TableSize) {
                children[std::size_t(prefix) * 256 + next] = std::uint16_t(nextCode);
                countEntry();
            }
            if (nextCode == TableSize) {
                out.Put(clearCode, width);
                reset();
            }
            prefix = next;
        }
        out.Put(prefix, width);
        countEntry();
    }
    out.Put(endCode, width);
    out.Flush();

    std::vector<std::uint8_t> stream{std::uint8_t(codeSize)};
    for (std::size_t pos = 0; pos < out.Bytes.size(); pos += 255) {
        const std::size_t n = std::min<std::size_t>(255, out.Bytes.size() - pos);
        stream.push_back(std::uint8_t(n));
        stream.insert(stream.end(), out.Bytes.begin() + std::ptrdiff_t(pos),
                      out.Bytes.begin() + std::ptrdiff_t(pos + n));
    }
    stream.push_back(0);
    return stream;
}
