#pragma once
// The second thread of a run that copies two parts at once.
//
// The run's thread hands it one part at a time (start), looks at its byte
// count for the progress display, and takes the outcome back (collect).
// Destroying the worker makes it drop the part it is copying at the next
// step and joins the thread, whichever way the run ends.

#include "parts/partcopy.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace darvolt {

class CopyWorker {
public:
    struct Finished {
        std::int64_t index = 0;
        PartCopyResult result;
        std::exception_ptr exception; // what escaped the copy, to be raised on the run's thread
    };

    CopyWorker(File& source, const PartCopySettings& settings, SharedCopyState& shared);
    ~CopyWorker();
    CopyWorker(const CopyWorker&) = delete;
    CopyWorker& operator=(const CopyWorker&) = delete;

    // True from start() until collect() has returned the outcome.
    bool busy() const { return busy_; }
    // Copies the job's range into part, which the worker closes.
    void start(const PartJob& job, std::unique_ptr<File> part);
    // Bytes written so far into the current part.
    std::int64_t bytes() const { return bytes_.load(std::memory_order_relaxed); }
    // The outcome once the part is done, waiting at most `wait` for it.
    std::optional<Finished> collect(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

private:
    void loop();

    File& source_;
    const PartCopySettings settings_;
    SharedCopyState& shared_;
    bool busy_ = false; // the run's thread only
    std::atomic<std::int64_t> bytes_{0};

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<PartJob> job_;
    std::unique_ptr<File> part_;
    std::optional<Finished> finished_;
    bool quit_ = false;

    std::vector<std::byte> buffer_; // the worker's own
    std::thread thread_;            // last: starts once everything above exists
};

} // namespace darvolt
