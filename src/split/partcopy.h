#pragma once
// The copy of one part's range of the source, as both threads of a run that
// copies two parts at once perform it.
//
// The source is read only at explicit offsets (File::copyRangeTo, then
// File::readAt where the in-kernel copy declines), so the two threads can
// share its one open file. Each part file belongs to the thread that copies
// it, which also closes it.

#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace darvolt {

enum class PartCopyFailure {
    None,
    Read,    // the source could not be read
    Write,   // the part refused data, stored less than asked, or failed to close
    Stopped, // given up because the part is no longer wanted
};

struct PartCopyResult {
    std::int64_t written = 0;
    bool sourceEnded = false; // the last step found the end of the source: no part follows
    PartCopyFailure failure = PartCopyFailure::None;
};

// One part of the run: its number, where it starts in the source and how
// many bytes it takes at most.
struct PartJob {
    std::int64_t index = 0;
    std::int64_t offset = 0;
    std::int64_t size = 0;
};

// What the two copying threads know of each other.
class SharedCopyState {
public:
    // A part is wanted unless a part before it failed or found the end of
    // the source, or the run is being abandoned.
    bool wanted(std::int64_t index) const
    {
        return !abandoned_.load(std::memory_order_acquire) && index <= lastWanted();
    }
    std::int64_t lastWanted() const { return lastWanted_.load(std::memory_order_acquire); }
    // Parts after this one are not wanted; never raises the limit.
    void wantNothingAfter(std::int64_t index);
    void abandon() { abandoned_.store(true, std::memory_order_release); }

private:
    std::atomic<std::int64_t> lastWanted_{std::numeric_limits<std::int64_t>::max()};
    std::atomic<bool> abandoned_{false};
};

// Copies the job's range from the source into part in steps of at most
// blockSize bytes, then closes part. Before every step betweenSteps runs (if
// set) and the copy stops when the part is no longer wanted. `bytes` follows
// the count written, for a progress display on another thread. A failure or
// the end of the source makes the parts after this one unwanted. `buffer` is
// the thread's own, sized on first need.
PartCopyResult CopyAndClosePart(File& source, const PartJob& job, File& part, std::size_t blockSize,
                                std::vector<std::byte>& buffer, SharedCopyState& shared,
                                std::atomic<std::int64_t>& bytes, const std::function<void()>& betweenSteps);

} // namespace darvolt
