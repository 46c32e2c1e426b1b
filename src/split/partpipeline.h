#pragma once
// The one loop that writes a split's parts, for every target (the parts
// folder, one medium after another) and with or without the blocks going
// to consumers (the digests, the recovery encoder).
//
// Where the target allows it and nothing needs the blocks in order, two
// parts are in flight at once: copying two different part files at the
// same time from two threads nearly halves the time the kernel spends on
// new files. What the user and the disk see stays that of one part at a
// time:
// - this (the view's) thread asks the target for every part, in order; it
//   copies one part itself while a CopyWorker copies the part before or
//   after it; never more than two parts are unfinished;
// - a part joins the part list only when it and every part before it are
//   written and closed, and the target has had its say on it;
// - progress is counted in whole KB per part, only ever grows (a new medium
//   starts it again), and goes to the view from this thread only, as do the
//   pending messages (before every part, and on the time budget while
//   copying or waiting);
// - the first failure in part order is the one reported, once, in the usual
//   words; a part after it that was already created is deleted, so the disk
//   holds the complete parts before the failure and the failed part as far
//   as it got, nothing after;
// - an interruption (the stop flag) stops both parts at their next step;
//   the complete parts before the first unfinished one stay, that part and
//   any after it are deleted.

#include "parts/kilobyteprogress.h"
#include "parts/messagepacer.h"
#include "parts/partnaming.h"
#include "platform/platform.h"
#include "split/copyworker.h"
#include "split/parttarget.h"
#include "split/splitview.h"

#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace darvolt {

struct PipelineSetup {
    Platform& platform;
    SplitView& view;
    MessagePacer& pacer;
    PartTarget& target;
    File& source;
    PartCopySettings copy;
    // Two parts at once (see worthwhile()).
    bool concurrent = false;
    // The last part the source's size calls for, when it is known.
    std::int64_t lastPart = std::numeric_limits<std::int64_t>::max();
    const std::atomic<bool>* stop = nullptr;
};

enum class PipelineEnd { Done, Failed, Cancelled, Interrupted };

class PartPipeline {
public:
    // Worth a second thread when the source makes at least two parts.
    static bool worthwhile(std::int64_t sourceSize, std::int64_t partSize)
    {
        return partSize > 0 && sourceSize >= 0 && sourceSize / partSize >= 1;
    }

    explicit PartPipeline(const PipelineSetup& setup) : s_(setup), shared_(setup.stop) {}

    // Writes the parts and appends them to parts / bareParts in order. A
    // failure has been reported when the run ends with it; an interruption
    // is left to the caller to tell.
    PipelineEnd run(PartList& parts, std::vector<std::string>& bareParts);
    // The bytes in the listed parts.
    std::int64_t written() const { return writtenBytes_; }

private:
    enum class Where { Worker, Main, Done };
    struct Slot {
        std::int64_t index = 0;
        PartTarget::Part part;
        Where where = Where::Done;
        bool created = false;
        PartCopyResult result;
        // Set should this part be the first to fail: what to report (empty
        // when the target has told the user already).
        std::optional<std::string> failure;
    };

    bool mayCreate() const;
    Slot* createPart(Where where);
    void feedWorker();
    void copyOnMain(Slot& slot);
    void betweenMainSteps();
    void collectWorker(std::chrono::milliseconds wait);
    void finish(std::int64_t index, const PartCopyResult& result);
    // Lists, discards or reports the finished parts at the front; a value
    // once the run is over.
    std::optional<PipelineEnd> settle();
    bool anyRunning() const;
    // Deletes the parts still in the window, which will not be listed.
    void dropWindow();
    void reportProgress();
    Slot& slot(std::int64_t index);

    PipelineSetup s_;
    SharedCopyState shared_;
    CopyWorker* worker_ = nullptr;
    PartList* parts_ = nullptr;
    std::vector<std::string>* bareParts_ = nullptr;

    std::deque<Slot> window_; // the unfinished parts, in order, at most two
    std::int64_t nextIndex_ = 0;
    std::int64_t nextOffset_ = 0;
    std::optional<PipelineEnd> endedBy_; // the target ended the run (a prompt cancelled)
    std::atomic<std::int64_t> mainBytes_{0};
    std::vector<std::byte> buffer_; // this thread's
    std::int64_t listedKb_ = 0;     // progress of the listed parts
    std::int64_t writtenBytes_ = 0;
    KilobyteProgress shown_;
};

} // namespace darvolt
