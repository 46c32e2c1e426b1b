#include "join/crcfile.h"

#include "join/partset.h"
#include "parts/partnaming.h"

#include <charconv>

namespace darvolt {

namespace {

// No .crc file of a split is longer than a name and two numbers.
constexpr std::size_t LargestCrcFile = 16 << 10;

} // namespace

bool IsCrcFileName(std::string_view name)
{
    return name.size() > 4 && UpperCaseAscii(name).ends_with(".CRC");
}

std::optional<CrcFile> ParseCrcText(std::string_view text)
{
    std::optional<std::string> name;
    std::optional<std::int64_t> size;
    std::optional<Digest> crc;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "filename") {
            if (name || !IsBareName(value))
                return std::nullopt;
            name = std::string(value);
        } else if (key == "size") {
            std::int64_t bytes = -1;
            const auto [at, error] = std::from_chars(value.data(), value.data() + value.size(), bytes);
            if (size || error != std::errc() || at != value.data() + value.size() || bytes < 0)
                return std::nullopt;
            size = bytes;
        } else if (key == "crc32") {
            if (crc || !(crc = Digest::fromHex(DigestKind::Crc32, value)))
                return std::nullopt;
        }
    }
    if (!name || !size || !crc)
        return std::nullopt;
    return CrcFile{*name, *size, *crc};
}

std::optional<CrcFile> ReadCrcFile(File& file)
{
    std::string text(LargestCrcFile + 1, '\0');
    const auto got = file.read(std::as_writable_bytes(std::span(text.data(), text.size())));
    if (!got.ok() || got.value > LargestCrcFile)
        return std::nullopt;
    text.resize(got.value);
    return ParseCrcText(text);
}

} // namespace darvolt
