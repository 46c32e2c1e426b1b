#pragma once
// The split run: writes the parts of one source, then MERGE.BAT, and beside
// it the checksum file (<source>.sha256) and merge.sh.
//
// Folder mode (partSize > 0): the parts go into OutputFolder(), created or
// cleared of an earlier run's parts first, then the recovery data when asked
// for; at the end the file manager opens on the folder. Spanning mode (partSize 0): one part per diskette in the
// drive folder, each as large as the free space of the diskette in the drive,
// with a prompt for every diskette and a closing information message.
//
// The source is opened for reading only and is never written, renamed,
// truncated or given other attributes, and no file the run writes may be
// the source under another name. The run splits the source as it was when
// it was opened: a source that changes during the run (rewritten, truncated,
// grown) ends it as a read failure does, without a merge script.
//
// Spanned parts and the merge script are flushed to the medium before the
// next prompt or the closing message; in folder mode the same happens when
// the output folder lies on a removable device (or when asked). A flush
// error is a write error. Everything is reported through the view in the
// engine's own words (splittexts.h); parts already written stay on disk
// after a failure.

#include "parts/engineoptions.h"
#include "platform/platform.h"
#include "split/splitrequest.h"
#include "split/splitview.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace darvolt {

enum class SplitOutcome {
    Done,         // every part, MERGE.BAT, the checksum file and merge.sh written
    ScriptFailed, // every part written; MERGE.BAT, the checksum file or merge.sh could not be (reported)
    RecoveryFailed, // everything written but the recovery data asked for, which could not be (reported)
    Failed,       // the run stopped at a reported failure
    Cancelled,    // Cancel at a diskette prompt
    Interrupted,  // the stop flag was raised: the unfinished part deleted, no merge script (reported)
    Busy,         // called while another run is going on; nothing done
};

struct SplitOptions : EngineOptions {
    SplitOptions() { openFileManager = true; } // on the parts' folder after a folder-mode run
    // Flush the parts in folder mode also where the output folder is not on
    // a removable device.
    bool alwaysFlush = false;
    // Hash every part and the whole source while copying, on a second
    // thread, for the checksum file and merge.sh's checks. Without it the
    // parts are copied in the kernel where it can, and merge.sh says that
    // nothing can be checked.
    bool checksums = true;
    // In folder mode, recovery data of at least this percentage of the
    // source (rounded up to whole parts) beside the parts, a PAR2 set built
    // in the split's own read (recoverydata.h); 0 for none. Spanning never
    // writes them.
    int recoveryPercent = 0;
    // Bytes the recovery slices being built may take; 0: the smaller of
    // 1 GiB and a quarter of the machine's memory.
    std::size_t recoveryMemory = 0;
};

using SplitResult = EngineResult<SplitOutcome>;

// request: the source and the part size (0 spans diskettes). A second call
// while a run is going on (from a handler run by processPendingMessages)
// answers Busy at once.
SplitResult SplitFile(Platform& platform, SplitView& view, const SplitRequest& request,
                      const SplitOptions& options = {});

} // namespace darvolt
