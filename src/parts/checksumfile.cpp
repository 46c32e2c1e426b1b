#include "parts/checksumfile.h"

#include <algorithm>
#include <span>

namespace darvolt {

std::string ChecksumLine(const ChecksumEntry& entry)
{
    // A name that ends in a carriage return is escaped as well, as
    // sha256sum writes it: a raw one at the end of a line is taken for a
    // Windows line end and dropped.
    const bool escaped = entry.name.find_first_of("\\\n") != std::string::npos || entry.name.ends_with('\r');
    std::string line = escaped ? "\\" : "";
    line += HexDigest(entry.digest);
    line += "  ";
    for (const char c : entry.name) {
        if (escaped && c == '\\')
            line += "\\\\";
        else if (escaped && c == '\n')
            line += "\\n";
        else if (escaped && c == '\r')
            line += "\\r";
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
    const std::size_t blank = line.find(' ');
    const auto kind = KindOfHexLength(blank);
    if (!kind || line.size() < blank + 3 || (line[blank + 1] != ' ' && line[blank + 1] != '*'))
        return std::nullopt;
    const auto digest = Digest::fromHex(*kind, line.substr(0, blank));
    if (!digest)
        return std::nullopt;
    const std::string_view name = line.substr(blank + 2);
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

namespace {

// Takes the lines of a checksum file one by one and decides about carriage
// returns at the end, once it knows whether every line had one.
class ChecksumReader {
public:
    explicit ChecksumReader(std::size_t maxEntries) : maxEntries_(maxEntries) {}

    bool line(std::string_view text)
    {
        const bool cr = text.ends_with('\r');
        crlf_ = crlf_ && (text.empty() || cr);
        std::string_view plain = cr ? text.substr(0, text.size() - 1) : text;
        if (plain.empty() || plain.starts_with('#'))
            return true;
        // The line as it stands, CR and all; the CR goes at the end when
        // every line had one. A comment or empty line with a CR is one too.
        auto entry = parseLine(text);
        // One program wrote the file: digests of two kinds make it no list.
        if (!entry || entries_.size() == maxEntries_
            || (!entries_.empty() && entry->digest.kind() != entries_.front().digest.kind()))
            return false;
        endsInCr_.push_back(cr);
        entries_.push_back(std::move(*entry));
        return true;
    }

    std::optional<std::vector<ChecksumEntry>> finish()
    {
        // A file that went through a Windows editor ends every line in CR;
        // a single name ending in CR is a name.
        if (crlf_)
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (endsInCr_[i] && entries_[i].name.ends_with('\r'))
                    entries_[i].name.pop_back();
        return std::move(entries_);
    }

private:
    std::size_t maxEntries_;
    bool crlf_ = true;
    std::vector<ChecksumEntry> entries_;
    std::vector<bool> endsInCr_;
};

// The longest line an entry can have: an escaped line of the longest
// digest whose name is as long as a name gets, every byte of it escaped.
constexpr std::size_t LongestLine = 1 + 128 + 2 + 2 * 4096 + 1;

} // namespace

std::optional<std::vector<ChecksumEntry>> ParseChecksumText(std::string_view text)
{
    ChecksumReader reader(static_cast<std::size_t>(-1));
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (!reader.line(text.substr(0, end)))
            return std::nullopt;
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return reader.finish();
}

std::optional<std::vector<ChecksumEntry>> ReadChecksumFile(File& file, std::size_t maxEntries)
{
    ChecksumReader reader(maxEntries);
    std::vector<char> block(std::size_t{64} << 10);
    std::string pending;
    for (;;) {
        const auto got = file.read(std::as_writable_bytes(std::span(block.data(), block.size())));
        if (!got.ok())
            return std::nullopt;
        std::string_view chunk(block.data(), got.value);
        while (!chunk.empty()) {
            const auto end = chunk.find('\n');
            if (end == std::string_view::npos) {
                pending.append(chunk);
                break;
            }
            const bool good = pending.empty() ? reader.line(chunk.substr(0, end))
                                              : reader.line(pending.append(chunk.substr(0, end)));
            if (!good)
                return std::nullopt;
            pending.clear();
            chunk.remove_prefix(end + 1);
        }
        if (pending.size() > LongestLine)
            return std::nullopt;
        if (got.value < block.size())
            break;
    }
    if (!pending.empty() && !reader.line(pending))
        return std::nullopt;
    return reader.finish();
}

} // namespace darvolt
