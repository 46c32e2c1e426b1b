#pragma once
// Where a split's parts go, as the part pipeline (partpipeline.h) sees it:
// the parts folder (foldertarget.h) or one medium after another
// (spantarget.h). The pipeline decides when a part is made, copies it,
// keeps the order and the delete-the-unfinished-part rules; the target
// decides where the part lives and how large it may be, and tells the user
// what went wrong with it. Every call comes from the run's thread.

#include "parts/partcopy.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <string>

namespace darvolt {

class PartTarget {
public:
    virtual ~PartTarget() = default;

    struct Part {
        std::unique_ptr<File> file;
        std::string name; // the path
        std::string bare; // the name alone
        std::int64_t offset = 0; // where it starts in the source
        std::int64_t size = 0;   // the most it takes
        // The progress bar counts this part alone (a new medium).
        bool ownProgress = false;
    };
    enum class Step {
        Ready,       // go on
        Again,       // the same part once more (reported; whatever was made of it removed)
        Failed,      // the run ends (reported)
        Cancelled,   // the user gave up at a prompt
        Interrupted, // the stop flag came up meanwhile
    };

    // Two parts may be written at once here (their sizes are known ahead).
    virtual bool concurrent() const = 0;
    // Before part `index` is made: whatever must come first (a prompt).
    virtual Step prepare(std::int64_t index) = 0;
    // Makes part `index`, which starts at `offset` of the source. With
    // Failed, `failure` holds what to tell, which the pipeline shows once
    // the parts before it are settled.
    virtual Step open(std::int64_t index, std::int64_t offset, Part& part, std::string& failure) = 0;
    // Part `index` is copied and closed with `result` (no failure in it).
    // Again is for a part that gave no bytes (result.written == 0): the
    // blocks of a part that gave some are with the feed's consumers already
    // (the digests, the recovery encoder), which cannot take them back, so
    // such a part can only be kept or fail the run.
    virtual Step written(const Part& part, const PartCopyResult& result) = 0;
};

} // namespace darvolt
