#pragma once
// Finding the recovery data of a set of parts, and what par2 says of them.
//
// The PAR2 set is looked for in the parts' folder: "<source name>.par2"
// first, then its volume files (any of them can stand in for a lost index
// file), then any other *.par2 file, such as one made with par2 create by
// hand under a name of its own. A file counts only when its file
// description packets name a part of this set, so that par2 is never run on
// recovery data of other files.

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

std::optional<RecoverySet> FindRecoverySet(Platform& platform, const PartSet& set);

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
