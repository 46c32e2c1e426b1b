#pragma once
// The part loop of a folder-mode run that copies two parts at once.
//
// Copying two different part files at the same time from two threads nearly
// halves the time the kernel spends on new files, while what the user and
// the disk see stays that of the one-part-at-a-time loop:
// - this (the view's) thread deletes and creates every part, in order, and
//   sets the status text when a part is created; it copies one part itself
//   while a CopyWorker copies the part before or after it; never more than
//   two parts are unfinished;
// - a part joins the part list only when it and every part before it are
//   written and closed;
// - progress is counted in whole KB per part as before, only ever grows, and
//   goes to the view from this thread only, as do the pending messages
//   (before every part, and on the time budget while copying or waiting);
// - the first failure in part order is the one reported, once, in the usual
//   words; a part after it that was already created is deleted, so the disk
//   holds the complete parts before the failure and the failed part as far
//   as it got, nothing after;
// - an interruption (the stop flag) stops both parts at their next step;
//   the complete parts before the first unfinished one stay, that part and
//   any after it are deleted.

#include "platform/platform.h"
#include "split/copyworker.h"
#include "parts/messagepacer.h"
#include "parts/partnaming.h"
#include "split/splitview.h"

#include <deque>
#include <string>
#include <vector>

namespace darvolt {

struct PipelineSetup {
    Platform& platform;
    SplitView& view;
    MessagePacer& pacer;
    File& source;
    std::string sourceName;
    std::string prefix; // in front of every part name
    std::int64_t sourceSize = 0;
    std::int64_t partSize = 0;
    PartCopySettings copy;
    bool ignoresCase = false; // upper-case the part names in messages
    const std::atomic<bool>* stop = nullptr;
};

enum class PipelineEnd { Done, Failed, Interrupted };

class PartPipeline {
public:
    // Worth a second thread when the source makes at least two parts.
    static bool worthwhile(std::int64_t sourceSize, std::int64_t partSize)
    {
        return partSize > 0 && sourceSize / partSize >= 1;
    }

    explicit PartPipeline(const PipelineSetup& setup)
        : s_(setup), plannedLast_(setup.sourceSize / setup.partSize), shared_(setup.stop)
    {
    }

    // Writes the parts and appends them to parts / bareParts in order. A
    // failure has been reported when the run ends with it; an interruption
    // is left to the caller to tell.
    PipelineEnd run(PartList& parts, std::vector<std::string>& bareParts);

private:
    enum class Where { Worker, Main, Done };
    struct Slot {
        std::int64_t index = 0;
        std::string name;
        std::string bare;
        Where where = Where::Done;
        bool created = false;
        PartCopyResult result;
        std::string failure; // what to report should this be the first part to fail
    };

    bool mayCreate() const;
    Slot* createPart(Where where);
    void feedWorker();
    void copyOnMain(std::int64_t index);
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
    const std::int64_t plannedLast_; // the last part the source's size calls for
    SharedCopyState shared_;
    CopyWorker* worker_ = nullptr;
    PartList* parts_ = nullptr;
    std::vector<std::string>* bareParts_ = nullptr;

    std::deque<Slot> window_; // the unfinished parts, in order, at most two
    std::int64_t nextIndex_ = 0;
    std::unique_ptr<File> mainPart_;
    std::atomic<std::int64_t> mainBytes_{0};
    std::vector<std::byte> buffer_; // this thread's
    std::int64_t listedKb_ = 0;     // progress of the listed parts
    std::int64_t shownKb_ = 0;
};

} // namespace darvolt
