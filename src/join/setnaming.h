#pragma once
// How the parts of one set are named, for every convention the join knows:
//
//   ours            report.doc.!00, .!01, ... .!99, .!100   (the source name + ".!")
//   GNU split       xaa, xab, ... with any prefix, letters (the default),
//                   digits (-d) or hex digits (-x), any suffix length (-a)
//                   and an additional suffix (--additional-suffix); without
//                   -a, split widens the suffix when it runs out: after xyz
//                   come xzaaa ... xzyzz, then xzzaaaa (x89: x9000)
//   numbered        name.7z.001, .002, ... .999, .1000: 7-Zip volumes and
//                   other splitters (from .000 where the set has one)
//
// A part's index is its place in the set, 0 for the first whatever number
// its name carries. Only a name the convention writes has an index: no
// leading zeros where none are written, no letters out of the alphabet.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace darvolt {

enum class SetConvention { Darvolt, GnuSplit, Numbered };

class SetNaming {
public:
    // How the counter between the prefix and the suffix is written.
    enum class Counter {
        Growing,  // decimal, at least `width` digits, more when the number needs them
        Fixed,    // exactly `width` symbols of the alphabet
        Widening, // GNU split without -a (see above)
    };
    static constexpr std::string_view Letters = "abcdefghijklmnopqrstuvwxyz";
    static constexpr std::string_view Digits = "0123456789";
    static constexpr std::string_view HexDigits = "0123456789abcdef";

    SetNaming() = default;
    static SetNaming ours(std::string_view sourceName);
    // stem + "." + the number; `first` is the number of the first part.
    static SetNaming numbered(std::string_view stem, int width, std::int64_t first);
    static SetNaming gnuSplit(std::string_view prefix, std::string_view alphabet, int width, bool widens,
                              std::string_view suffix);

    SetConvention convention() const { return convention_; }
    // Empty for an index no name of this convention has.
    std::string name(std::int64_t index) const;
    std::optional<std::int64_t> indexOf(std::string_view name) const;
    // What is written before the counter of the first part: the source
    // name and ".!", the stem and "." of numbered parts, split's prefix.
    const std::string& prefix() const { return prefix_; }
    const std::string& suffix() const { return suffix_; }
    std::string_view alphabet() const { return alphabet_; }
    int width() const { return width_; }
    Counter counter() const { return counter_; }

private:
    std::optional<std::int64_t> valueOf(std::string_view symbols) const;
    std::string symbols(std::int64_t value, int width) const;

    SetConvention convention_ = SetConvention::Darvolt;
    std::string prefix_;
    std::string suffix_;
    std::string_view alphabet_ = Digits;
    Counter counter_ = Counter::Growing;
    int width_ = 2;
    std::int64_t first_ = 0;
};

} // namespace darvolt
