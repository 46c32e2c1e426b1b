#pragma once
// Rebuilding lost or damaged parts from a PAR2 set that gives every part
// one slice (every set Darvolt writes, and any other made with the part
// size as its slice size), in the program itself: the parts that are whole
// and the recovery slices give, per missing part, a linear equation over
// GF(2^16); the small system is solved by elimination and the parts are
// then computed region by region on the same core that writes recovery
// data. Sets that cut parts into several slices go to par2 as before.
//
// A part counts as whole when its length and MD5 are the ones its file
// description gives (or the join's check has just found it whole); a first,
// quicker look goes by its slice's CRC32, and the MD5 has the last word. A
// recovery slice counts when its packet's hash holds.
// Every part rebuilt is written beside the others under a temporary name,
// checked against its description's MD5, and only then takes the part's
// name (a damaged part it replaces is gone: nothing else is left behind).

#include "parts/messagepacer.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace darvolt {

struct SliceRepairJob {
    Platform& platform;
    std::string folder;       // the parts' folder, "" for the current one
    std::string index;        // bare name of the set's PAR2 file
    std::function<void(double)> progress; // 0 to 1
    std::function<void()> idle;           // keeps the window alive
    const std::atomic<bool>* stop = nullptr;
    std::size_t memory = 0;   // for the slices being worked; 0: the default budget
    // Parts a check has just found whole (by the checksum file): they are
    // not read again to be judged, only as the repair's input.
    std::vector<std::string> knownWhole = {};
};

struct SliceRepairResult {
    enum class End {
        NotForUs,     // not a set of one slice per part, or unreadable: par2's work
        Whole,        // nothing to rebuild
        Rebuilt,      // `rebuilt` were written and checked
        Unrepairable, // more parts lost than recovery slices left
        Failed,       // reading or writing failed (`why`)
        Stopped,
    };
    End end = End::NotForUs;
    std::vector<std::string> rebuilt;  // bare names
    std::vector<std::string> missing;  // found missing, for the message
    std::vector<std::string> damaged;  // found damaged
    std::int64_t moreNeeded = 0;       // recovery slices lacking
    std::string why;
    bool notAsDescribed = false; // a rebuilt part's MD5 was not its description's
};

SliceRepairResult RepairFromSlices(const SliceRepairJob& job);

} // namespace darvolt
