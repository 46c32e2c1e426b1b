#include "parts/oemcodepages.h"

#include <algorithm>
#include <vector>

namespace darvolt {

namespace {

// The code points of a UTF-8 text; nothing for any byte sequence that is not
// UTF-8 as it is written today (overlong forms, surrogates and values past
// U+10FFFF included), since a file name of such bytes has no one reading.
std::optional<std::vector<char32_t>> codePoints(std::string_view text)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int more = 0;
        char32_t c = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            more = 1;
            c = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2;
            c = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3;
            c = lead & 0x07;
            least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i <= static_cast<std::size_t>(more))
            return std::nullopt; // cut off
        for (int k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        out.push_back(c);
        i += static_cast<std::size_t>(more) + 1;
    }
    return out;
}

} // namespace

std::optional<std::string> EncodeInCodePage(std::string_view utf8, const OemCodePage& page)
{
    const auto points = codePoints(utf8);
    if (!points)
        return std::nullopt;
    std::string out;
    for (const char32_t c : *points) {
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const auto at = std::find(page.upper.begin(), page.upper.end(), c);
        if (c > 0xFFFF || at == page.upper.end())
            return std::nullopt;
        out += static_cast<char>(0x80 + (at - page.upper.begin()));
    }
    return out;
}

const OemCodePage* CodePageHolding(std::string_view utf8)
{
    for (const OemCodePage& page : OemCodePages())
        if (EncodeInCodePage(utf8, page))
            return &page;
    return nullptr;
}

} // namespace darvolt
