#pragma once
// Finding the recovery data of a set of parts, and what par2 says of them.
//
// Every PAR2 file in the parts' folder is read (par2reader.h) before
// anything else is done with any of them. The set is the one whose main
// packet describes parts of this set, looked for in "<source name>.par2"
// first, then its volume files (any of them can stand in for a lost
// index), then any other PAR2 file, such as one made with par2 create by
// hand under a name of its own.
//
// Recovery data that describe anything but parts of this set are refused
// whole, never used: par2 repair rewrites every file a set describes, so a
// description of the checksum file, a script or any other file would let
// whoever made them replace it. What counts is every description in every
// file that belongs to the set (a file holding any of its packets, a file
// par2 reads along with the index, a file describing one of our parts),
// whatever set it claims to be of. PAR2 files of other sets, which neither
// par2 nor the repair reads, are let be.

#include "join/partset.h"
#include "parts/par2reader.h"
#include "platform/platform.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

struct RecoverySet {
    std::string index;                  // bare name of the PAR2 file holding the set's main packet
    std::vector<std::string> files;     // every PAR2 file read, bare; Par2RecoverySlice::file counts them
    std::vector<Par2Contents> contents; // what each holds
    Par2Set set;
    std::vector<std::string> covers;  // the names its file descriptions give, each once
    std::vector<std::string> foreign; // names described that are no parts of this set
    bool overfull = false;            // `index` holds more packets than any set has
};

struct RecoveryLookup {
    std::optional<RecoverySet> usable;
    // Recovery data that describe parts of this set and other files as well.
    std::vector<RecoverySet> refused;
};
RecoveryLookup FindRecoverySet(Platform& platform, const PartSet& set, const std::atomic<bool>* stop = nullptr);

// Whether a name described in recovery data is a part of the set exactly
// as the set's convention writes it; with a list of its parts, one listed.
// Without one, parts lost after the last found are known only to the
// recovery data, which may rebuild them.
bool IsPartName(const PartSet& set, std::string_view name);

// What par2 verify or repair said about the files before repairing: each
// name once, with its first verdict.
struct Par2Findings {
    std::vector<std::string> missing;
    std::vector<std::string> damaged;
    std::int64_t blocksNeeded = 0; // "You need N more recovery blocks"
};
Par2Findings ReadPar2Findings(std::string_view output);

} // namespace darvolt
