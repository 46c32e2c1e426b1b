#include "join/partset.h"

#include "join/foreignset.h"
#include "join/jointexts.h"
#include "parts/mergescript.h"
#include "parts/mergeshell.h"
#include "parts/partnaming.h"
#include "platform/pathrules.h"

#include <algorithm>
#include <map>
#include <set>

namespace darvolt {

std::string PartSet::path(const std::string& bareName) const
{
    return InFolder(folder, bareName);
}

bool PartSet::partsChecked() const
{
    return !parts.empty()
           && std::all_of(parts.begin(), parts.end(), [](const SetPart& part) { return part.expected.has_value(); });
}

std::optional<DigestKind> PartSet::partKind() const
{
    for (const SetPart& part : parts)
        if (part.expected)
            return part.expected->kind();
    return std::nullopt;
}

std::string PartSet::title() const
{
    return !sourceName.empty() || parts.empty() ? sourceName : "the set of " + parts.front().name;
}

namespace {

template <typename Keep>
std::vector<std::string> namesOf(const std::vector<SetPart>& parts, Keep keep)
{
    std::vector<std::string> names;
    for (const SetPart& part : parts)
        if (keep(part))
            names.push_back(part.name);
    return names;
}

} // namespace

std::vector<std::string> PartSet::unlisted() const
{
    return namesOf(parts, [](const SetPart& part) { return !part.expected; });
}

std::vector<std::string> PartSet::missing() const
{
    return namesOf(parts, [](const SetPart& part) { return !part.present; });
}

std::int64_t PartSet::presentBytes() const
{
    std::int64_t total = 0;
    for (const SetPart& part : parts)
        if (part.present)
            total += part.size;
    return total;
}

bool IsBareName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos
           && name.find('\0') == std::string_view::npos;
}

namespace {

// The parts of each file in a folder listing: source name -> number -> name.
using Groups = std::map<std::string, std::map<std::int64_t, std::string>>;

struct Listing {
    Groups groups;
    std::set<std::string> checksumFiles;
    std::vector<std::string> files; // every file, by bare name
};

std::optional<Listing> listFolder(Platform& platform, const std::string& folder)
{
    const auto listing = platform.listDirectory(FolderShown(folder));
    if (!listing.ok())
        return std::nullopt;
    Listing found;
    for (const auto& entry : listing.value) {
        if (entry.isDirectory)
            continue;
        found.files.push_back(entry.name);
        if (const auto part = ParsePartName(entry.name))
            found.groups[part->sourceName][part->number] = entry.name;
        else if (entry.name.size() > ChecksumSuffix.size() && entry.name.ends_with(ChecksumSuffix))
            found.checksumFiles.insert(entry.name);
    }
    return found;
}

void measure(Platform& platform, PartSet& set, SetPart& part)
{
    const auto id = platform.identityOf(set.path(part.name));
    part.present = id.ok() && !platform.isDirectory(set.path(part.name));
    part.size = part.present ? id.value.size : 0;
}

FoundSet fromChecksumFile(Platform& platform, const std::string& folder, const std::string& name,
                          const std::string& input, const Listing* known)
{
    PartSet set;
    set.folder = folder;
    auto opened = platform.openForReading(set.path(name));
    // Our own checksum file that is there but cannot be read is no reason
    // to join unchecked.
    if (!opened.ok() && opened.error != error::FileNotFound)
        return {std::nullopt, texts::join::cannotOpen(set.path(name), SystemErrorText(opened.error))};
    const auto entries = opened.ok() ? ReadChecksumFile(*opened.value) : std::nullopt;
    const auto sums = entries ? ChecksumSetOf(*entries) : std::nullopt;
    if (!sums)
        return {std::nullopt, texts::join::notASet(input)};
    set.sourceName = sums->sourceName;
    set.naming = SetNaming::ours(set.sourceName);
    set.checksumName = name;
    set.whole = sums->whole;
    for (std::size_t i = 0; i < sums->parts.size(); ++i) {
        SetPart part;
        part.number = static_cast<std::int64_t>(i);
        part.name = BarePartName(set.sourceName, part.number);
        part.expected = sums->parts[i];
        measure(platform, set, part);
        set.parts.push_back(std::move(part));
    }
    std::optional<Listing> listed;
    if (known == nullptr && (listed = listFolder(platform, folder)))
        known = &*listed;
    if (known != nullptr)
        if (const auto group = known->groups.find(set.sourceName); group != known->groups.end())
            for (const auto& [number, partName] : group->second)
                if (number >= static_cast<std::int64_t>(set.parts.size()))
                    set.extra.push_back(partName);
    return {std::move(set), {}};
}

FoundSet fromGroup(Platform& platform, const std::string& folder, const std::string& sourceName,
                   const Listing& listing, const std::string& input)
{
    const std::string sums = ChecksumFileName(sourceName);
    if (listing.checksumFiles.contains(sums))
        return fromChecksumFile(platform, folder, sums, input, &listing);
    PartSet set;
    set.folder = folder;
    set.sourceName = sourceName;
    set.naming = SetNaming::ours(sourceName);
    const auto group = listing.groups.find(sourceName);
    const std::int64_t last = group == listing.groups.end() ? -1 : group->second.rbegin()->first;
    if (last < 0)
        return {std::nullopt, texts::join::noParts(FolderShown(folder))};
    // A stray number far past the others would make the gap before it
    // larger than any set.
    if (last >= MaxSetParts)
        return {std::nullopt, texts::join::beyondAnySet(group->second.rbegin()->second, MaxSetParts)};
    for (std::int64_t number = 0; number <= last; ++number) {
        SetPart part;
        part.number = number;
        part.name = BarePartName(sourceName, number);
        if (group->second.contains(number))
            measure(platform, set, part);
        set.parts.push_back(std::move(part));
    }
    return {std::move(set), {}};
}

} // namespace

void MeasureParts(Platform& platform, PartSet& set)
{
    for (SetPart& part : set.parts)
        measure(platform, set, part);
}

std::optional<ChecksumSet> ChecksumSetOf(const std::vector<ChecksumEntry>& entries)
{
    if (entries.size() < 2 || !IsBareName(entries.back().name))
        return std::nullopt;
    for (const ChecksumEntry& entry : entries)
        if (entry.digest.kind() != DigestKind::Sha256)
            return std::nullopt;
    ChecksumSet set;
    set.sourceName = entries.back().name;
    set.whole = entries.back().digest;
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        if (entries[i].name != BarePartName(set.sourceName, static_cast<std::int64_t>(i)))
            return std::nullopt;
        set.parts.push_back(entries[i].digest);
    }
    return set;
}

namespace {

FoundSet findSet(Platform& platform, const std::string& input, const std::string& outputName)
{
    const std::string path = WithoutTrailingSlashes(input);
    if (platform.isDirectory(path)) {
        const auto listing = listFolder(platform, path);
        if (!listing)
            return {std::nullopt, texts::join::cannotRead(input)};
        if (listing->groups.size() == 1)
            return fromGroup(platform, path, listing->groups.begin()->first, *listing, input);
        if (listing->groups.empty())
            if (auto numbered = NumberedSetInFolder(platform, {path, listing->files, input, outputName}))
                return std::move(*numbered);
        if (listing->groups.empty() && listing->checksumFiles.empty())
            if (auto gnu = GnuSplitSetInFolder(platform, {path, listing->files, input, outputName}))
                return std::move(*gnu);
        if (listing->groups.empty() && listing->checksumFiles.size() == 1)
            return fromChecksumFile(platform, path, *listing->checksumFiles.begin(), input, &*listing);
        if (listing->groups.empty())
            return {std::nullopt, texts::join::noParts(input)};
        std::vector<std::string> names;
        for (const auto& [name, parts] : listing->groups)
            names.push_back(name);
        return {std::nullopt, texts::join::severalSets(input, names)};
    }
    const auto attributes = platform.attributes(path);
    if (!attributes.ok())
        return {std::nullopt, texts::join::cannotOpen(input, SystemErrorText(attributes.error))};
    if ((attributes.value & attribute::Device) != 0)
        return {std::nullopt, texts::join::notASet(input)};
    const SourcePath where = SplitSourcePath(path);
    const std::string folder = WithoutTrailingSlashes(where.folder);
    if (const auto part = ParsePartName(where.name)) {
        const auto listing = listFolder(platform, folder);
        if (!listing)
            return {std::nullopt, texts::join::cannotRead(FolderShown(folder))};
        return fromGroup(platform, folder, part->sourceName, *listing, input);
    }
    FoundSet ours = fromChecksumFile(platform, folder, where.name, input, nullptr);
    if (ours.set)
        return ours;
    // Not ours: a part, a .crc file or a checksum list of another tool's set.
    if (const auto listing = listFolder(platform, folder))
        if (auto foreign = ForeignSetOfFile(platform, {folder, listing->files, input, outputName}, where.name))
            return std::move(*foreign);
    return ours;
}

} // namespace

FoundSet FindPartSet(Platform& platform, const std::string& input, const std::string& outputName)
{
    FoundSet found = findSet(platform, input, outputName);
    if (!found.set)
        return found;
    // A part is a file in the set's folder: a link could hand the join any
    // file the user may read, to be joined into a file others may read.
    const PartSet& set = *found.set;
    const auto listing = platform.listDirectory(FolderShown(set.folder));
    for (const DirectoryEntry& entry : listing.ok() ? listing.value : std::vector<DirectoryEntry>{})
        if (entry.isLink && std::any_of(set.parts.begin(), set.parts.end(), [&](const SetPart& part) { return part.name == entry.name; }))
            return {std::nullopt, texts::join::linkedPart(entry.name), true};
    return found;
}

std::string SizeDisagreement(const PartSet& set)
{
    if (!set.wholeSize || set.presentBytes() == *set.wholeSize)
        return {};
    if (set.crcName.empty())
        return texts::join::archiveSizeDisagrees(set.sizeSource, set.title(), *set.wholeSize, set.presentBytes());
    return texts::join::sizeDisagrees(set.crcName, set.title(), *set.wholeSize, set.presentBytes());
}

std::optional<std::int64_t> UsualPartSize(const PartSet& set)
{
    const std::size_t n = set.parts.size();
    if (n < 2)
        return std::nullopt;
    // The size most parts before the last share: the part size of the run.
    std::map<std::int64_t, int> counts;
    for (std::size_t i = 0; i + 1 < n; ++i)
        if (set.parts[i].present)
            ++counts[set.parts[i].size];
    if (counts.empty())
        return std::nullopt;
    const auto common = std::max_element(counts.begin(), counts.end(),
                                         [](const auto& a, const auto& b) { return a.second < b.second; });
    const bool clear = counts.size() == 1 || common->second >= 2 * static_cast<int>(n - 1 - common->second);
    return clear ? std::optional(common->first) : std::nullopt;
}

bool LastPartAsLarge(const PartSet& set)
{
    const auto usual = UsualPartSize(set);
    const SetPart& last = set.parts.back();
    return usual && *usual > 0 && last.present && last.size == *usual;
}

std::string SizeRemark(const PartSet& set, std::size_t index)
{
    const std::size_t n = set.parts.size();
    if (!set.ours() || index >= n || !set.parts[index].present)
        return {};
    const auto common = UsualPartSize(set);
    if (!common)
        return {};
    const std::int64_t size = set.parts[index].size;
    const std::int64_t usual = *common;
    if (index + 1 < n)
        return size == usual ? std::string() : texts::join::sizeOff(size, usual);
    if (size > usual)
        return texts::join::lastTooLarge(size, usual);
    if (LastPartAsLarge(set))
        return texts::join::lastAsLarge(size);
    return {};
}

std::optional<std::string> ScriptDisagreement(Platform& platform, const PartSet& set)
{
    const std::size_t found = set.parts.size();
    const std::pair<std::string_view, std::optional<std::size_t> (*)(std::string_view, std::string_view)> scripts[] = {
        {MergeShellFileName, MergeShellPartCount}, {MergeScriptName, MergeScriptPartCount}};
    for (const auto& [name, count] : scripts) {
        auto opened = platform.openForReading(set.path(std::string(name)));
        const auto size = opened.ok() ? opened.value->size() : Result<std::int64_t>::failure(error::FileNotFound);
        // Far larger than any script of a split: not one of ours.
        if (!size.ok() || size.value > (std::int64_t{64} << 20))
            continue;
        std::string text(static_cast<std::size_t>(size.value), '\0');
        const auto got = opened.value->read(std::as_writable_bytes(std::span(text.data(), text.size())));
        if (!got.ok())
            continue;
        text.resize(got.value);
        if (const auto listed = count(text, set.sourceName); listed && *listed != found)
            return texts::join::scriptDisagrees(name, *listed, found);
    }
    return std::nullopt;
}

} // namespace darvolt
