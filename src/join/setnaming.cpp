#include "join/setnaming.h"

namespace darvolt {

namespace {

std::int64_t power(std::int64_t base, int exponent)
{
    std::int64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= base;
    return value;
}

// The most places a counter of this alphabet can have with every index
// (and the names before it, widened ones too) well inside 64 bits: 18
// digits, as many as our part numbers take, 15 hex digits, 13 letters.
int longestCounter(std::string_view alphabet)
{
    int places = 0;
    for (std::int64_t reach = 1; reach <= (std::int64_t{1} << 60) / static_cast<std::int64_t>(alphabet.size());
         reach *= static_cast<std::int64_t>(alphabet.size()))
        ++places;
    return places;
}

} // namespace

SetNaming SetNaming::ours(std::string_view sourceName)
{
    SetNaming naming;
    naming.prefix_ = std::string(sourceName) + ".!";
    return naming;
}

SetNaming SetNaming::numbered(std::string_view stem, int width, std::int64_t first)
{
    SetNaming naming;
    naming.convention_ = SetConvention::Numbered;
    naming.prefix_ = std::string(stem) + ".";
    naming.width_ = width;
    naming.first_ = first;
    return naming;
}

SetNaming SetNaming::gnuSplit(std::string_view prefix, std::string_view alphabet, int width, bool widens,
                              std::string_view suffix)
{
    SetNaming naming;
    naming.convention_ = SetConvention::GnuSplit;
    naming.prefix_ = std::string(prefix);
    naming.suffix_ = std::string(suffix);
    naming.alphabet_ = alphabet;
    naming.counter_ = widens ? Counter::Widening : Counter::Fixed;
    naming.width_ = width;
    return naming;
}

std::string SetNaming::symbols(std::int64_t value, int width) const
{
    const auto base = static_cast<std::int64_t>(alphabet_.size());
    std::string text(static_cast<std::size_t>(width), alphabet_.front());
    for (auto at = text.rbegin(); at != text.rend() && value > 0; ++at, value /= base)
        *at = alphabet_[static_cast<std::size_t>(value % base)];
    return value == 0 ? text : std::string();
}

std::optional<std::int64_t> SetNaming::valueOf(std::string_view symbols) const
{
    if (symbols.empty() || symbols.size() > static_cast<std::size_t>(longestCounter(alphabet_)))
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : symbols) {
        const auto digit = alphabet_.find(c);
        if (digit == std::string_view::npos)
            return std::nullopt;
        value = value * static_cast<std::int64_t>(alphabet_.size()) + static_cast<std::int64_t>(digit);
    }
    return value;
}

std::string SetNaming::name(std::int64_t index) const
{
    if (index < 0)
        return {};
    std::string counter;
    switch (counter_) {
    case Counter::Growing:
        counter = std::to_string(first_ + index);
        if (counter.size() < static_cast<std::size_t>(width_))
            counter.insert(0, static_cast<std::size_t>(width_) - counter.size(), '0');
        break;
    case Counter::Fixed: counter = symbols(index, width_); break;
    case Counter::Widening: {
        // Each widening moves the last symbol into the prefix and adds a
        // place: the blocks of names before it run out when the first
        // place would reach that symbol.
        const auto base = static_cast<std::int64_t>(alphabet_.size());
        std::string widened;
        for (int width = width_; width <= longestCounter(alphabet_); ++width) {
            const std::int64_t block = (base - 1) * power(base, width - 1);
            if (index < block) {
                counter = widened + symbols(index, width);
                break;
            }
            index -= block;
            widened += alphabet_.back();
        }
        break;
    }
    }
    return counter.empty() ? std::string() : prefix_ + counter + suffix_;
}

std::optional<std::int64_t> SetNaming::indexOf(std::string_view partName) const
{
    if (partName.size() <= prefix_.size() + suffix_.size() || !partName.starts_with(prefix_)
        || !partName.ends_with(suffix_))
        return std::nullopt;
    const std::string_view counter =
        partName.substr(prefix_.size(), partName.size() - prefix_.size() - suffix_.size());
    std::optional<std::int64_t> index;
    switch (counter_) {
    case Counter::Growing:
        if (const auto number = valueOf(counter); number && *number >= first_)
            index = *number - first_;
        break;
    case Counter::Fixed:
        if (counter.size() == static_cast<std::size_t>(width_))
            index = valueOf(counter);
        break;
    case Counter::Widening: {
        // k widenings put k last symbols in front of a counter k places wider.
        if (counter.size() < static_cast<std::size_t>(width_) || (counter.size() - static_cast<std::size_t>(width_)) % 2 != 0)
            break;
        const std::size_t widenings = (counter.size() - static_cast<std::size_t>(width_)) / 2;
        const auto value = valueOf(counter.substr(widenings));
        if (!value)
            break;
        const auto base = static_cast<std::int64_t>(alphabet_.size());
        std::int64_t before = 0;
        for (std::size_t k = 0; k < widenings; ++k)
            before += (base - 1) * power(base, width_ + static_cast<int>(k) - 1);
        index = before + *value;
        break;
    }
    }
    // Only the name the convention writes for that index.
    if (index && name(*index) != partName)
        return std::nullopt;
    return index;
}

} // namespace darvolt
