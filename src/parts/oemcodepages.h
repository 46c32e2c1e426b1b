#pragma once
// The console code pages MERGE.BAT can be written in. cmd.exe reads a batch
// file a line at a time in the console's code page, so a script that names a
// file beyond ASCII first switches the console to a page that holds every
// character of the name ("chcp 850") and has the name's bytes in that page.
// These are the DOS code pages every Windows has, for the Latin scripts of
// Western, Central and Northern Europe, Turkish, Greek and Cyrillic.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace darvolt {

struct OemCodePage {
    int number = 0; // as chcp takes it
    // The characters of the bytes 0x80 to 0xFF (0 where the page has none);
    // the bytes below are ASCII.
    std::array<char16_t, 128> upper{};
};

// In the order they are tried: the first that holds a name is used.
const std::array<OemCodePage, 6>& OemCodePages();

// The text's bytes in the page, or nothing when the text is not UTF-8 or
// holds a character the page has not.
std::optional<std::string> EncodeInCodePage(std::string_view utf8, const OemCodePage& page);

// The first page that holds the whole text; nothing for a text that is not
// UTF-8 or that no page holds.
const OemCodePage* CodePageHolding(std::string_view utf8);

} // namespace darvolt
