#pragma once
// The other side of RecoveryEncoder: lost parts rebuilt from a PAR2 set
// that gives each part one slice (every set Darvolt writes, and any other
// made with the part size as its slice size). The parts that are whole and
// as many recovery slices as parts are lost give, per lost part, a linear
// equation over GF(2^16); the small system is solved by elimination and the
// lost parts are computed region by region on the encoder's accumulator.
//
// The decoder reads the parts and the recovery data and writes nothing but
// the parts it rebuilds, into a folder of the caller's under their own
// names; what vouches for them, and putting them in place, is the caller's.
// It goes in steps, each its own function:
//   judge    which parts are whole: what the caller knows (a checksum file
//            vouches for them), else their description's length and MD5;
//   choose   recovery slices whose packet hash holds, each taken only when
//            its row keeps the system solvable, then the system inverted;
//   rebuild  the lost parts, range by range within a memory budget, each
//            then checked against its description's MD5.
// Every loop looks at the stop flag, and nothing costs more than reading
// the set's real files a few times, whatever the recovery data claim.

#include "parts/par2reader.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace darvolt {

// What the caller knows of a part before the decoder looks at it.
enum class PartKnown { Unknown, Whole, Lost };

struct RecoveryDecoding {
    Platform& platform;
    std::string folder;                 // of the parts and the PAR2 files
    std::vector<std::string> par2Files; // bare names, in the order Par2RecoverySlice::file counts
    const Par2Set& set;                 // its files named as the parts they are
    std::vector<PartKnown> known;       // per file of the set; empty: nothing known
    std::string into;                   // the folder the rebuilt parts are written to
    std::function<void(double)> progress = {}; // 0 to 1
    std::function<void()> idle = {};           // keeps the window alive
    const std::atomic<bool>* stop = nullptr;
    std::size_t memory = 0; // for the slices being worked; 0: the default budget
};

// A step that could not be done: what, on which file, and the system's error.
struct DecodeFailure {
    enum class What {
        CannotRead,          // a part
        CannotReadRecovery,  // a PAR2 file
        CannotCreate,        // a rebuilt part
        CannotWrite,
        NotAsDescribed,      // a rebuilt part's MD5 is not its description's
        DescribedOtherwise,  // a part the caller knows whole has another length in the set
    };
    What what = What::CannotRead;
    std::string file; // bare
    ErrorCode error = error::None;
};

struct RecoveryDecoded {
    enum class End { Whole, Rebuilt, Unrepairable, Failed, Stopped };
    End end = End::Failed;
    std::vector<std::string> missing; // as found, for the message
    std::vector<std::string> damaged;
    std::vector<std::string> rebuilt; // in `into`, bare names
    std::int64_t moreNeeded = 0;      // recovery slices lacking
    DecodeFailure failure;            // when Failed
};

// Whether the decoder can work the set: every file described, none of more
// than one slice, within PAR2's constants.
bool DecoderCanWork(const Par2Set& set);

RecoveryDecoded DecodeRecovery(const RecoveryDecoding& job);

} // namespace darvolt
