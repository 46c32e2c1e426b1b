#include "split/sharedfolder.h"

#include "parts/partnaming.h"

namespace darvolt {

namespace {

std::string holdsOtherSet(const std::string& folder, const std::string& other, const std::string& sourceName)
{
    return "The folder " + folder + " already holds the parts of " + other + "; splitting " + sourceName
           + " there would replace their MERGE.BAT and merge.sh. Move them away first, or give this split a folder "
             "of its own (darvolt-split -d FOLDER). Splitting file canceled";
}

} // namespace

std::optional<std::string> OtherSourceInFolder(Platform& platform, const std::string& folder,
                                               const std::string& sourceName)
{
    const auto listing = platform.listDirectory(folder);
    if (!listing.ok())
        return std::nullopt;
    // Where the file system ignores case, REPORT.DOC.!00 is this source's.
    const bool ignoresCase = platform.ignoresCase(folder);
    const auto same = [ignoresCase](const std::string& a, const std::string& b) {
        return ignoresCase ? UpperCaseAscii(a) == UpperCaseAscii(b) : a == b;
    };
    std::optional<std::string> other;
    for (const auto& entry : listing.value) {
        if (entry.isDirectory)
            continue;
        const auto part = ParsePartName(entry.name);
        if (part && !same(part->sourceName, sourceName) && (!other || part->sourceName < *other))
            other = part->sourceName;
    }
    return other;
}

bool FolderTakesSource(Platform& platform, SplitView& view, const std::string& folder, const std::string& sourceName)
{
    const auto other = OtherSourceInFolder(platform, folder, sourceName);
    if (other)
        view.showError(holdsOtherSet(folder, *other, sourceName));
    return !other;
}

} // namespace darvolt
