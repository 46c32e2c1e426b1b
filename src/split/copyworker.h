#pragma once
// The second thread of a split that copies two parts at once.
//
// The run's thread hands it one part at a time (start), looks at its byte
// count for the progress display, and takes the outcome back (collect).
// Destroying the worker makes it drop the part it is copying at the next
// step and joins the thread, whichever way the run ends.

#include "parts/jobthread.h"
#include "parts/partcopy.h"

#include <memory>
#include <optional>

namespace darvolt {

class CopyWorker {
public:
    struct Finished {
        std::int64_t index = 0;
        PartCopyResult result;
    };

    CopyWorker(File& source, const PartCopySettings& settings, SharedCopyState& shared)
        : source_(source), settings_(settings), shared_(shared)
    {
    }
    ~CopyWorker() { shared_.abandon(); } // before thread_ joins
    CopyWorker(const CopyWorker&) = delete;
    CopyWorker& operator=(const CopyWorker&) = delete;

    // True from start() until collect() has returned the outcome.
    bool busy() const { return thread_.busy(); }
    // Copies the job's range into part, which the worker closes.
    void start(const PartJob& job, std::unique_ptr<File> part);
    // Bytes written so far into the current part.
    std::int64_t bytes() const { return bytes_.load(std::memory_order_relaxed); }
    // The outcome once the part is done, waiting at most `wait` for it; what
    // escaped the copy is raised here, on the run's thread.
    std::optional<Finished> collect(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

private:
    File& source_;
    const PartCopySettings settings_;
    SharedCopyState& shared_;
    std::atomic<std::int64_t> bytes_{0};
    Finished finished_;
    std::vector<std::byte> buffer_; // the worker's own
    JobThread thread_;              // last: its jobs use everything above
};

} // namespace darvolt
