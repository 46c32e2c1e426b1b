#include "split/spandrive.h"

#include "split/endofrun.h"
#include "split/splittexts.h"

#include <algorithm>

namespace darvolt {

std::int64_t SpannedPartSize(const MediumSpace& medium, std::int64_t rest, std::int64_t room)
{
    const std::int64_t size = std::min(medium.free, medium.largestFile);
    // The part ends at its limit: more follows, or (an exact fill) an empty
    // part on one more medium with the scripts.
    if (rest < 0 || rest >= size)
        return size;
    const std::int64_t unit = std::max<std::int64_t>(medium.allocationUnit, 1);
    if ((rest + unit - 1) / unit * unit + room <= medium.free)
        return size;
    return medium.free - room;
}

SpanDrive::Taken SpanDrive::take(std::int64_t disketteNumber)
{
    const std::vector<RemovableMedium> media = platform_.findMedia();
    if (media.empty()) {
        view_.showError(std::string(texts::NotReady));
        return Taken::NotReady;
    }
    std::size_t chosen = 0;
    if (media.size() > 1) {
        const auto answer = view_.chooseMedium(texts::chooseMedium(disketteNumber), media);
        if (!answer || *answer >= media.size())
            return Taken::Declined;
        chosen = *answer;
    }
    held_.reset();
    if (platform_.useMedium(media[chosen]) != error::None
        || held_.emplace(platform_, platform_.driveFolder(), true).error() != error::None) {
        held_.reset();
        view_.showError(std::string(texts::NotReady));
        return Taken::NotReady;
    }
    RemovableMedium taken = media[chosen];
    if (taken.folder.empty())
        taken.folder = platform_.driveFolder();
    name_ = texts::mediumName(taken);
    return Taken::Ready;
}

SpanDrive::PartPlan SpanDrive::planPart(std::int64_t free, std::int64_t rest,
                                        const std::vector<std::string>& bareParts, std::string_view sourceName,
                                        bool checksums)
{
    const FileSystemLimits limits = platform_.fileSystemLimits(platform_.driveFolder());
    const MediumSpace space{free, limits.largestFile, limits.allocationUnit};
    const std::int64_t room = EndOfRunRoom(bareParts, sourceName, checksums, limits.allocationUnit);
    PartPlan plan;
    plan.size = SpannedPartSize(space, rest, room);
    plan.belowFileLimit = plan.size == limits.largestFile && limits.largestFile < free;
    return plan;
}

void SpanDrive::letGo()
{
    held_.reset(); // an open handle would keep the medium busy
    for (;;) {
        const MediumRelease release = platform_.releaseMedium();
        if (release.error == error::None) {
            if (release.unmounted)
                view_.showNote(texts::mediumRemovable(name_));
            return;
        }
        if (!view_.askRetry(texts::mediumBusy(name_, release.reason)))
            return; // the medium stays mounted; its data are on it all the same
    }
}

} // namespace darvolt
