#pragma once
// Finding the recovery data of a set of parts, and what par2 says of them.
//
// The PAR2 set is looked for in the parts' folder: "<source name>.par2"
// first, then its volume files (any of them can stand in for a lost index
// file), then any other *.par2 file, such as one made with par2 create by
// hand under a name of its own. A file counts only when every file its
// description packets name is a part of this set, by its bare part name:
// par2 repair rewrites every file a set describes, so recovery data that
// also describe the checksum file, or any other file, would let whoever
// made them replace it (and a name with a folder in it would send par2
// outside the parts' folder). Such recovery data are refused, never used.

#include "join/partset.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

struct RecoverySet {
    std::string index;               // bare name of the PAR2 file handed to par2
    std::vector<std::string> covers; // the names its file descriptions list
};

struct RecoveryLookup {
    std::optional<RecoverySet> usable;
    // Files that describe parts of this set and other files as well.
    std::vector<RecoverySet> refused;
};
RecoveryLookup FindRecoverySet(Platform& platform, const PartSet& set);

// The names a refused set describes that are no parts of the set.
std::vector<std::string> ForeignNames(const RecoverySet& recovery, const PartSet& set);

// The file names listed in a PAR2 file's file description packets, read
// packet by packet (recovery blocks are skipped, never read).
std::vector<std::string> Par2FileNames(File& file);

// What par2 verify or repair said about the files before repairing: each
// name once, with its first verdict.
struct Par2Findings {
    std::vector<std::string> missing;
    std::vector<std::string> damaged;
    std::int64_t blocksNeeded = 0; // "You need N more recovery blocks"
};
Par2Findings ReadPar2Findings(std::string_view output);

} // namespace darvolt
