#pragma once
// The join: the parts of one split back into the file they were cut from.
//
// The parts are found from what the user names (partset.h), ours or another
// tool's (foreignset.h). With a checksum file every part is hashed as it is
// copied, on a second thread, from the one read that also feeds the copy;
// the first part that does not match stops the join. A set whose checksums
// cover only the whole file (another tool's .crc file, a list that names
// the file and not its parts) is hashed whole as it is joined, and its
// size and digest must match before the file takes its name. Without one the parts are copied in the kernel where it
// can, and the user is warned that nothing could be checked. The joined
// file is written under a temporary name in its own folder and takes its
// name only when it is complete (and, on a removable device, on the
// medium), so an interrupted or failed join never leaves a file that looks
// whole; the temporary file is deleted on every way out. An existing file
// is replaced only when the run is told to or the view agrees, and never
// when it is one of the files being joined.
//
// A check (checkOnly) reads and hashes every part and writes nothing; it
// tells each part's finding in order, then whether the parts joined give
// the whole file's checksum, then a summary.
//
// Recovery data (a PAR2 set beside the parts, recoveryset.h) are used when
// a part is missing or fails its checksum: every part is first judged by
// the checksum list, the lost ones are rebuilt in a folder of the repair's
// own (joinrepair.cpp) and put in place once they pass their check, the
// view is told which parts were rebuilt, and the join starts again and
// checks as before. Without a checksum file, the recovery data's own check
// runs before the join. A check tells whether the recovery data can
// rebuild what it found missing or damaged.

#include "parts/blockconsumer.h"
#include "join/joinview.h"
#include "parts/engineoptions.h"
#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace darvolt {

enum class JoinOutcome {
    Joined,      // the joined file is in place
    Checked,     // a check found every part as the checksum file lists it
    Failed,      // a reported failure: no set, I/O, an existing file kept
    CheckFailed, // a part is missing, extra or damaged (beyond repair), or a check had nothing to check against
    Repairable,  // a check found parts missing or damaged that the recovery data can rebuild
    Interrupted, // the stop flag was raised: nothing written (reported)
    Busy,        // called while a join is going on in this thread
    OutputNeeded, // the set does not tell the joined file's name, and the view gave none (reported)
};

struct JoinOptions : EngineOptions {
    JoinOptions() = default;
    // The options both engines share, as the caller has them for a split.
    explicit JoinOptions(const EngineOptions& common) : EngineOptions(common) {}
    // The joined file; empty: the source's name in the parts' folder, or
    // what the view chooses for a set that does not tell it.
    std::string output;
    // Replace an existing file of that name without asking.
    bool replace = false;
    // Read and check only.
    bool checkOnly = false;
    // Take parts rebuilt from the recovery data where only another tool's
    // CRC32 of the whole would check them.
    bool trustRecovery = false;
    // See every block a join or check reads, each part's in order, beside
    // the digests; they outlive the run.
    std::vector<BlockConsumer*> consumers;
};

struct JoinResult : EngineResult<JoinOutcome> {
    std::vector<std::string> rebuilt; // parts rebuilt from the recovery data, bare names
};

// input: a part, the folder of the parts, or the checksum file.
JoinResult JoinParts(Platform& platform, JoinView& view, const std::string& input, const JoinOptions& options = {});

} // namespace darvolt
