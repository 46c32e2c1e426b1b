#include "join/recoveryset.h"

#include "parts/partnaming.h"
#include "platform/pathrules.h"

#include <algorithm>
#include <set>
#include <unordered_set>

namespace darvolt {

namespace {

// How early a candidate is tried: the source's own index, its volumes, the rest.
int rank(const std::string& name, const std::string& sourceName)
{
    if (name == RecoveryFileName(sourceName))
        return 0;
    return IsRecoveryFileOf(name, sourceName) ? 1 : 2;
}

bool holdsSet(const Par2Contents& contents, const Par2Id& id)
{
    const auto of = [&](const auto& packets) {
        return std::any_of(packets.begin(), packets.end(), [&](const auto& packet) { return packet.setId == id; });
    };
    return of(contents.mains) || of(contents.descriptions) || of(contents.sliceHashes) || of(contents.recovery);
}

bool describesPart(const Par2Contents& contents, const PartSet& parts)
{
    return std::any_of(contents.descriptions.begin(), contents.descriptions.end(),
                       [&](const Par2Description& description) { return IsPartName(parts, description.name); });
}

// The first main packet, in the files' order, whose set describes a part;
// only the first of each set counts, as with par2.
std::optional<std::pair<std::size_t, Par2Set>> chooseSet(const std::vector<Par2Contents>& contents, const PartSet& parts)
{
    const Par2Catalogue catalogue(contents);
    std::set<Par2Id> tried;
    for (std::size_t i = 0; i < contents.size(); ++i)
        for (const Par2MainPacket& main : contents[i].mains) {
            if (!tried.insert(main.setId).second)
                continue;
            Par2Set set = Par2SetOf(main, catalogue);
            if (std::any_of(set.files.begin(), set.files.end(), [&](const Par2SetFile& file) {
                    return file.description && IsPartName(parts, file.description->name);
                }))
                return std::pair(i, std::move(set));
        }
    return std::nullopt;
}

// Names in the order first met, each once, however many a set lists.
class NamesOnce {
public:
    explicit NamesOnce(std::vector<std::string>& names) : names_(names) {}
    void add(const std::string& name)
    {
        if (seen_.insert(name).second)
            names_.push_back(name);
    }

private:
    std::vector<std::string>& names_;
    std::unordered_set<std::string> seen_;
};

} // namespace

bool IsPartName(const PartSet& set, std::string_view name)
{
    const auto index = set.naming.indexOf(name);
    return index && *index < MaxSetParts && (!set.partKind() || *index < static_cast<std::int64_t>(set.parts.size()));
}

RecoveryLookup FindRecoverySet(Platform& platform, const PartSet& set, const std::atomic<bool>* stop)
{
    RecoveryLookup lookup;
    const auto listing = platform.listDirectory(FolderShown(set.folder));
    if (!listing.ok())
        return lookup;
    RecoverySet found;
    for (const auto& entry : listing.value)
        if (!entry.isDirectory && !entry.isLink && IsPar2FileName(entry.name))
            found.files.push_back(entry.name);
    std::sort(found.files.begin(), found.files.end(), [&](const std::string& a, const std::string& b) {
        const int ra = rank(a, set.sourceName);
        const int rb = rank(b, set.sourceName);
        return ra != rb ? ra < rb : a < b;
    });
    for (std::size_t i = 0; i < found.files.size(); ++i) {
        auto opened = platform.openForReading(set.path(found.files[i]));
        found.contents.push_back(opened.ok() ? ReadPar2(*opened.value, i, stop) : Par2Contents{});
    }
    // A file that holds more than any set is no one's recovery data, and
    // what it would hide cannot be told.
    for (std::size_t i = 0; i < found.files.size(); ++i)
        if (found.contents[i].overfull) {
            found.index = found.files[i];
            found.overfull = true;
            lookup.refused.push_back(std::move(found));
            return lookup;
        }
    auto chosen = chooseSet(found.contents, set);
    if (!chosen)
        return lookup; // another file's recovery data, or none
    found.index = found.files[chosen->first];
    found.set = std::move(chosen->second);
    NamesOnce covers(found.covers);
    for (const Par2SetFile& file : found.set.files)
        if (file.description)
            covers.add(file.description->name);
    NamesOnce foreign(found.foreign);
    for (std::size_t i = 0; i < found.files.size(); ++i) {
        const Par2Contents& contents = found.contents[i];
        if (!Par2ReadsWith(found.index, found.files[i]) && !holdsSet(contents, found.set.id)
            && !describesPart(contents, set))
            continue;
        for (const Par2Description& description : contents.descriptions)
            if (!IsPartName(set, description.name))
                foreign.add(description.name);
    }
    if (found.foreign.empty())
        lookup.usable = std::move(found);
    else
        lookup.refused.push_back(std::move(found));
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
