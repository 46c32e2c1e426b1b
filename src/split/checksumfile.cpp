#include "split/checksumfile.h"

#include "split/runfile.h"

#include <algorithm>

namespace darvolt {

std::string ChecksumLine(const ChecksumEntry& entry)
{
    const bool escaped = entry.name.find_first_of("\\\n") != std::string::npos;
    std::string line = escaped ? "\\" : "";
    line += HexDigest(entry.digest);
    line += "  ";
    for (const char c : entry.name) {
        if (escaped && c == '\\')
            line += "\\\\";
        else if (escaped && c == '\n')
            line += "\\n";
        else
            line += c;
    }
    line += '\n';
    return line;
}

namespace {

std::optional<std::string> unescaped(std::string_view name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            out += name[i];
            continue;
        }
        if (++i == name.size())
            return std::nullopt;
        switch (name[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

std::optional<ChecksumEntry> parseLine(std::string_view line)
{
    const bool escaped = line.starts_with('\\');
    if (escaped)
        line.remove_prefix(1);
    if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
        return std::nullopt;
    const auto digest = DigestFromHex(line.substr(0, 64));
    if (!digest)
        return std::nullopt;
    const std::string_view name = line.substr(66);
    ChecksumEntry entry{std::string(name), *digest};
    if (escaped) {
        const auto plain = unescaped(name);
        if (!plain)
            return std::nullopt;
        entry.name = *plain;
    }
    return entry;
}

} // namespace

std::optional<std::vector<ChecksumEntry>> ParseChecksumText(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    // A file that went through a Windows editor ends every line in CR; a
    // single name ending in CR is a name.
    const bool crlf = !lines.empty() && std::all_of(lines.begin(), lines.end(), [](std::string_view line) {
        return line.empty() || line.ends_with('\r');
    });
    std::vector<ChecksumEntry> entries;
    for (std::string_view line : lines) {
        if (crlf && line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.starts_with('#'))
            continue;
        auto entry = parseLine(line);
        if (!entry)
            return std::nullopt;
        entries.push_back(std::move(*entry));
    }
    return entries;
}

bool WriteChecksumFile(Platform& platform, SplitView& view, const std::string& path,
                       const std::vector<ChecksumEntry>& entries, bool flush)
{
    std::string text;
    for (const auto& entry : entries)
        text += ChecksumLine(entry);
    return WriteRunFile(platform, view, path, {text}, flush);
}

} // namespace darvolt
