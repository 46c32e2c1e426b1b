#pragma once
// The split run: writes the parts of one source, then MERGE.BAT.
//
// Folder mode (partSize > 0): the parts go into OutputFolder(), created or
// cleared of an earlier run's parts first; at the end the file manager opens
// on the folder. Spanning mode (partSize 0): one part per diskette in the
// drive folder, each as large as the free space of the diskette in the drive,
// with a prompt for every diskette and a closing information message.
//
// The source is opened for reading only and is never written, renamed,
// truncated or given other attributes. Everything is reported through the
// view in the engine's own words (splittexts.h); parts already written stay
// on disk after a failure.

#include "platform/platform.h"
#include "split/splitview.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace darvolt {

enum class SplitOutcome {
    Done,         // every part and MERGE.BAT written
    ScriptFailed, // every part written; MERGE.BAT could not be (reported)
    Failed,       // the run stopped at a reported failure
    Cancelled,    // Cancel at a diskette prompt
    Busy,         // called while another run is going on; nothing done
};

struct SplitOptions {
    // Start the file manager on the output folder after a folder-mode run.
    bool openFileManager = true;
    // Bytes moved per step of the copy loop.
    std::size_t blockSize = std::size_t{1} << 20;
    // Longest time between two calls of processPendingMessages while copying.
    std::chrono::milliseconds pumpInterval{25};
    // The clock that paces those calls (tests drive their own).
    std::function<std::chrono::steady_clock::time_point()> clock;
    // In folder mode, copy two parts at once on two threads where the
    // platform allows it and the source makes more than one part.
    bool concurrentCopies = true;
};

} // namespace darvolt

// sourceName: bare, as typed; sourceFolder: ending in "/" or empty; partSize:
// bytes per part, 0 to span diskettes. A second call while a run is going on
// (from a handler run by processPendingMessages) returns Busy at once.
darvolt::SplitOutcome SplitFile(darvolt::Platform& platform, darvolt::SplitView& view,
                                const std::string& sourceName, const std::string& sourceFolder,
                                std::int64_t partSize, const darvolt::SplitOptions& options = {});
