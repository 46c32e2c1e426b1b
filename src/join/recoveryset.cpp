#include "join/recoveryset.h"

#include "parts/partnaming.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <set>

namespace darvolt {

namespace {

constexpr std::array<char, 8> PacketMagic{'P', 'A', 'R', '2', '\0', 'P', 'K', 'T'};
constexpr std::array<char, 16> FileDescType{'P', 'A', 'R', ' ', '2', '.', '0', '\0',
                                            'F', 'i', 'l', 'e', 'D', 'e', 's', 'c'};
constexpr std::size_t HeaderSize = 64;
constexpr std::size_t FileDescFixed = 56; // file id, two MD5s, length
// A file name longer than this is no name of ours.
constexpr std::uint64_t LargestFileDesc = FileDescFixed + 65536;

std::uint64_t littleEndian64(const unsigned char* bytes)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

bool readFully(File& file, std::int64_t offset, std::span<std::byte> buffer)
{
    const auto got = file.readAt(offset, buffer);
    return got.ok() && got.value == buffer.size();
}

bool endsWithPar2(std::string_view name)
{
    if (name.size() <= 5)
        return false;
    std::string tail(name.substr(name.size() - 5));
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".par2";
}

// How early a candidate is tried: the source's own index, its volumes, the rest.
int rank(const std::string& name, const std::string& sourceName)
{
    if (name == RecoveryFileName(sourceName))
        return 0;
    return IsRecoveryFileOf(name, sourceName) ? 1 : 2;
}

} // namespace

std::vector<std::string> Par2FileNames(File& file)
{
    std::vector<std::string> names;
    const auto size = file.size();
    if (!size.ok())
        return names;
    std::int64_t offset = 0;
    std::array<unsigned char, HeaderSize> header{};
    while (offset + static_cast<std::int64_t>(HeaderSize) <= size.value) {
        if (!readFully(file, offset, std::as_writable_bytes(std::span(header))))
            break;
        if (std::memcmp(header.data(), PacketMagic.data(), PacketMagic.size()) != 0)
            break; // not PAR2, or damaged from here on
        const std::uint64_t length = littleEndian64(header.data() + 8);
        if (length < HeaderSize || length % 4 != 0 || length > static_cast<std::uint64_t>(size.value - offset))
            break;
        if (std::memcmp(header.data() + 48, FileDescType.data(), FileDescType.size()) == 0
            && length > HeaderSize + FileDescFixed && length <= HeaderSize + LargestFileDesc) {
            std::string body(static_cast<std::size_t>(length - HeaderSize), '\0');
            if (readFully(file, offset + static_cast<std::int64_t>(HeaderSize),
                          std::as_writable_bytes(std::span(body.data(), body.size())))) {
                std::string name = body.substr(FileDescFixed);
                name.resize(std::strlen(name.c_str())); // padded with NULs to a multiple of 4
                if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
                    names.push_back(std::move(name));
            }
        }
        offset += static_cast<std::int64_t>(length);
    }
    return names;
}

std::vector<std::string> ForeignNames(const RecoverySet& recovery, const PartSet& set)
{
    // A part's name exactly as the set's convention writes it; with a
    // checksum file that lists the parts, one of them. Without one, parts
    // lost at the end of the set are known only to the recovery data, which
    // may rebuild them.
    auto isPart = [&](const std::string& name) {
        const auto index = set.naming.indexOf(name);
        return index && (!set.partKind() || *index < static_cast<std::int64_t>(set.parts.size()));
    };
    std::vector<std::string> foreign;
    for (const std::string& covered : recovery.covers)
        if (!isPart(covered))
            foreign.push_back(covered);
    return foreign;
}

RecoveryLookup FindRecoverySet(Platform& platform, const PartSet& set)
{
    RecoveryLookup lookup;
    const auto listing = platform.listDirectory(set.folder.empty() ? std::string(".") : set.folder);
    if (!listing.ok())
        return lookup;
    std::vector<std::string> candidates;
    for (const auto& entry : listing.value)
        if (!entry.isDirectory && endsWithPar2(entry.name))
            candidates.push_back(entry.name);
    std::sort(candidates.begin(), candidates.end(), [&](const std::string& a, const std::string& b) {
        const int ra = rank(a, set.sourceName);
        const int rb = rank(b, set.sourceName);
        return ra != rb ? ra < rb : a < b;
    });
    for (const std::string& name : candidates) {
        auto opened = platform.openForReading(set.path(name));
        if (!opened.ok())
            continue;
        RecoverySet found{name, Par2FileNames(*opened.value)};
        const bool ours = std::any_of(found.covers.begin(), found.covers.end(), [&](const std::string& covered) {
            return set.naming.indexOf(covered).has_value();
        });
        if (!ours)
            continue; // another file's recovery data
        if (!ForeignNames(found, set).empty()) {
            lookup.refused.push_back(std::move(found));
            continue;
        }
        lookup.usable = std::move(found);
        break;
    }
    return lookup;
}

Par2Findings ReadPar2Findings(std::string_view output)
{
    Par2Findings findings;
    std::set<std::string> seen;
    // Lines as par2 prints them: Target: "NAME" - missing. / - damaged. ...
    // / - found. and File: "NAME" - no data found.
    auto take = [&](std::string_view line, std::string_view lead) -> std::optional<std::pair<std::string, std::string_view>> {
        if (!line.starts_with(lead))
            return std::nullopt;
        const auto close = line.rfind("\" - ");
        if (close == std::string_view::npos || close < lead.size())
            return std::nullopt;
        return std::make_pair(std::string(line.substr(lead.size(), close - lead.size())), line.substr(close + 4));
    };
    while (!output.empty()) {
        const auto end = output.find_first_of("\r\n");
        const std::string_view line = output.substr(0, end);
        output = end == std::string_view::npos ? std::string_view() : output.substr(end + 1);
        if (line.starts_with("Verifying repaired files"))
            break;
        if (line.starts_with("You need ")) {
            std::int64_t n = 0;
            for (std::size_t i = 9; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
                n = n * 10 + (line[i] - '0');
            findings.blocksNeeded = n;
            continue;
        }
        auto target = take(line, "Target: \"");
        auto file = target ? std::nullopt : take(line, "File: \"");
        if (!target && !file)
            continue;
        auto& [name, verdict] = target ? *target : *file;
        if (seen.contains(name))
            continue;
        if (target && verdict.starts_with("missing")) {
            findings.missing.push_back(name);
        } else if ((target && verdict.starts_with("damaged")) || (file && verdict.starts_with("no data found"))) {
            findings.damaged.push_back(name);
        } else if (!(target && verdict.starts_with("found"))) {
            continue;
        }
        seen.insert(name);
    }
    return findings;
}

} // namespace darvolt
