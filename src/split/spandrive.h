#pragma once
// Drive A: of a spanned run: the medium present when the user answers the
// prompt, how much of the source a part on it may take, and letting it go
// once its part is on it.
//
// A part takes the medium's free space, but never more than the largest
// file its file system holds (4 GiB - 1 on FAT): a larger medium then takes
// several parts before the next prompt, so a run needs the fewest media. The
// medium that receives the end of the source must also keep room for the
// files written at the end of the run (endofrun.h); when the rest would fit
// but leave no such room, the part stops short by that room and one more
// medium takes the rest. A rest that fills the medium exactly still goes on
// it whole, and the next medium gets an empty part and the scripts.

#include "platform/platform.h"
#include "split/splitview.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace darvolt {

struct MediumSpace {
    std::int64_t free = 0;
    std::int64_t largestFile = INT64_MAX;
    std::int64_t allocationUnit = 1;
};

// The size of the part on a medium. rest: the source's bytes not yet written
// (-1 when unknown); room: what the end-of-run files need. 0 or less: the
// medium cannot take the part.
std::int64_t SpannedPartSize(const MediumSpace& medium, std::int64_t rest, std::int64_t room);

class SpanDrive {
public:
    SpanDrive(Platform& platform, SplitView& view) : platform_(platform), view_(view) {}

    enum class Taken {
        Ready,    // drive A: is the medium now
        NotReady, // none present, or it could not be mounted: the user was told
        Declined, // the user chose none of several
    };
    // After OK at the prompt for diskette disketteNumber.
    Taken take(std::int64_t disketteNumber);

    // The part on drive A:, whose free space is `free`, when `rest` bytes of
    // the source are still to be written (-1: unknown); bareParts are the
    // parts written so far and this one, and checksums whether the run
    // writes its checksum file. Also tells whether the part ends at the file
    // system's limit with room left on the medium after it.
    struct PartPlan {
        std::int64_t size = 0;
        bool belowFileLimit = false; // the file-size limit, not the medium, ends it
    };
    PartPlan planPart(std::int64_t free, std::int64_t rest, const std::vector<std::string>& bareParts,
                      std::string_view sourceName, bool checksums);

    // Once everything on drive A: is flushed: unmounts a medium of the disk
    // service and says it can be removed; a medium in use is reported and the
    // user asked to try again or go on.
    void letGo();

private:
    Platform& platform_;
    SplitView& view_;
    std::string name_; // of the medium taken
    // The medium's folder, resolved once when it is taken: a folder on a
    // handed-over stick swapped for a link cannot send a part elsewhere.
    std::optional<HeldFolder> held_;
};

} // namespace darvolt
