#include "app/partsizeoption.h"

#include <charconv>
#include <limits>
#include <string>

namespace darvolt {

std::optional<std::int64_t> ParseByteSize(std::string_view text)
{
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data() || number <= 0)
        return std::nullopt;
    std::string suffix(end, text.data() + text.size());
    if (!suffix.empty() && suffix[0] >= 'a' && suffix[0] <= 'z')
        suffix[0] = static_cast<char>(suffix[0] - 'a' + 'A');

    std::int64_t unit = 1;
    if (!suffix.empty()) {
        constexpr std::string_view letters = "KMGT";
        const auto power = letters.find(suffix[0]);
        const std::string_view rest = std::string_view(suffix).substr(1);
        const bool binary = rest.empty() || rest == "iB";
        if (power == std::string_view::npos || (!binary && rest != "B"))
            return std::nullopt;
        for (std::size_t i = 0; i <= power; ++i)
            unit *= binary ? 1024 : 1000;
    }
    if (number > std::numeric_limits<std::int64_t>::max() / unit)
        return std::nullopt;
    return number * unit;
}

std::optional<std::int64_t> PartSizeForCount(std::int64_t sourceSize, std::int64_t count)
{
    if (count < 2 || sourceSize <= 0)
        return std::nullopt;
    const std::int64_t size = sourceSize / count + 1;
    // The first count - 1 parts must leave data for the last one.
    if ((count - 1) > (sourceSize - 1) / size)
        return std::nullopt;
    return size;
}

} // namespace darvolt
