#include "join/checksumlist.h"

#include "join/jointexts.h"
#include "join/partset.h"
#include "parts/partnaming.h"
#include "platform/pathrules.h"

#include <algorithm>
#include <array>

namespace darvolt {

namespace {

// Reading every list of a crowded folder would cost what the folder holds:
// the named one and this many others are read.
constexpr std::size_t ListsRead = 64;

} // namespace

bool IsChecksumListName(std::string_view name)
{
    static constexpr std::array<std::string_view, 4> tools{"MD5", "SHA1", "SHA256", "SHA512"};
    const std::string upper = UpperCaseAscii(name);
    for (const std::string_view tool : tools) {
        const std::string suffix = "." + std::string(tool);
        if ((upper.size() > suffix.size() && upper.ends_with(suffix)) || upper == std::string(tool) + "SUMS")
            return true;
    }
    return false;
}

std::optional<ListedSums> SumsForSet(const std::string& listName, const std::vector<ChecksumEntry>& entries,
                                     const SetNaming& naming, const std::vector<std::string>& wholeNames)
{
    ListedSums sums;
    sums.listName = listName;
    std::vector<const ChecksumEntry*> others;
    for (const ChecksumEntry& entry : entries) {
        if (!IsBareName(entry.name))
            continue;
        if (const auto index = naming.indexOf(entry.name)) {
            // A list that gives one part two digests says nothing sure of it.
            if (const auto [at, added] = sums.parts.emplace(*index, entry.digest); !added && at->second != entry.digest)
                return std::nullopt;
        } else if (std::find(wholeNames.begin(), wholeNames.end(), entry.name) != wholeNames.end()) {
            sums.whole = entry;
        } else {
            others.push_back(&entry);
        }
    }
    if (!sums.whole && !sums.parts.empty() && others.size() == 1)
        sums.whole = *others.front();
    if (sums.weight() == 0)
        return std::nullopt;
    return sums;
}

std::optional<std::vector<ChecksumEntry>> ReadChecksumList(Platform& platform, const std::string& path,
                                                           ErrorCode* error)
{
    auto opened = platform.openForReading(path);
    if (error != nullptr)
        *error = opened.error == error::FileNotFound ? error::None : opened.error;
    return opened.ok() ? ReadChecksumFile(*opened.value) : std::nullopt;
}

ListLookup FindChecksumList(Platform& platform, const std::string& folder, const std::vector<std::string>& files,
                            const SetNaming& naming, const std::vector<std::string>& wholeNames,
                            const std::string& preferred)
{
    std::vector<std::string> lists;
    for (const std::string& name : files)
        if (IsChecksumListName(name) && name != preferred)
            lists.push_back(name);
    std::sort(lists.begin(), lists.end());
    if (lists.size() > ListsRead)
        lists.resize(ListsRead);
    if (!preferred.empty())
        lists.insert(lists.begin(), preferred);
    std::optional<ListedSums> best;
    for (const std::string& name : lists) {
        ErrorCode error = error::None;
        const auto entries = ReadChecksumList(platform, InFolder(folder, name), &error);
        if (error != error::None)
            return {std::nullopt, texts::join::cannotOpen(InFolder(folder, name), SystemErrorText(error))};
        if (!entries || entries->empty())
            continue;
        auto sums = SumsForSet(name, *entries, naming, wholeNames);
        if (!sums)
            continue;
        if (name == preferred)
            return {std::move(sums), {}};
        const auto strength = [](const ListedSums& s) {
            return static_cast<int>(s.whole ? s.whole->digest.kind() : s.parts.begin()->second.kind());
        };
        if (!best || sums->weight() > best->weight()
            || (sums->weight() == best->weight() && strength(*sums) > strength(*best)))
            best = std::move(sums);
    }
    return {std::move(best), {}};
}

} // namespace darvolt
