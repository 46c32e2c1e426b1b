#pragma once
// The copy of one part, as every loop of both engines performs it: one
// step (CopyStep) that moves a block from a file into another, through the
// run's block feed when anything wants the bytes, and one failure enum.
// The split's loop is CopyAndClosePart, as both threads of a run that
// copies two parts at once perform it.
//
// The source is read only at explicit offsets (File::copyRangeTo, then
// File::readAt where the in-kernel copy declines), so two threads can share
// its one open file. Each part file belongs to the thread that copies it,
// which also closes it.

#include "parts/blockfeed.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

namespace darvolt {

enum class CopyFailure {
    None,
    Read,    // the source could not be read
    Write,   // the target refused data, stored less than asked, or failed to flush or close
    Changed, // the source is not the size, or not the file, it was when the run measured it
    Stopped, // given up because the copy is no longer wanted (or the run was interrupted)
};

struct PartCopyResult {
    std::int64_t written = 0;
    bool sourceEnded = false; // the last step found the end of the source: no part follows
    bool mediumFull = false;  // the part ended early because its medium filled up
    CopyFailure failure = CopyFailure::None;
    ErrorCode error = error::None; // the system's, with a Read or Write failure
};

// One step of a copy: how many bytes it stored (0 at the source's end), or
// what failed.
struct CopyStepResult {
    std::uint64_t count = 0;
    CopyFailure failure = CopyFailure::None;
    ErrorCode error = error::None;
};

// Where a step puts its bytes.
struct StepTarget {
    File* file = nullptr; // none: the bytes are only read (for the feed)
    // At this offset of the file; negative: where the file stands, one
    // step after the other.
    std::int64_t at = -1;
    // The file is new and its size is set by a later write: a block of
    // zeros at an offset is left out, a hole that reads as zeros.
    bool holes = false;
};

// Where a step takes its block from when the run's consumers want it: a
// buffer of the feed, whose bytes count as the next of `part`. While none
// is free, `waiting` runs (it may work for the run) and says whether to
// wait on; a step that stops waiting fails as Stopped.
struct StepFeed {
    BlockFeed* feed = nullptr;
    std::int64_t part = 0;
    std::function<bool()> waiting;
    // The step's thread takes the block to a free consumer itself (see
    // BlockFeed::submit).
    bool takeHere = false;
};

// One part of the run: its number, where it starts in the source and how
// many bytes it takes at most.
struct PartJob {
    std::int64_t index = 0;
    std::int64_t offset = 0;
    std::int64_t size = 0;
};

// How every part of a run is copied.
struct PartCopySettings {
    std::size_t blockSize = 0;
    // The source's size when the run opened it, or -1 when it could not be
    // told. Nothing past it is read, and a source that ends before it has
    // changed under the run.
    std::int64_t sourceEnd = -1;
    // Flush the part's data to the medium before closing it.
    bool flush = false;
    // A medium that fills up ends the part where it is (spanning), instead
    // of failing the run.
    bool endAtFullMedium = false;
    // When set, every block passes through a buffer of this feed, whose
    // consumers take the bytes the part took (no in-kernel copy then). The
    // caller ends the part there once it keeps it.
    BlockFeed* feed = nullptr;
    // What a new part may let others do: the source's own permission bits,
    // never more than read and write, so that a private file does not
    // become readable to everyone through its parts.
    std::uint32_t permissions = DefaultPermissions;
};

// What the two copying threads know of each other.
class SharedCopyState {
public:
    // stop, when given, is raised from outside (a signal, the desktop session
    // ending) to interrupt the run at the next step.
    explicit SharedCopyState(const std::atomic<bool>* stop = nullptr) : stop_(stop) {}

    // A part is wanted unless a part before it failed or found the end of
    // the source, or the run is being abandoned or interrupted.
    bool wanted(std::int64_t index) const
    {
        return !abandoned_.load(std::memory_order_acquire) && !stopRequested() && index <= lastWanted();
    }
    bool stopRequested() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }
    std::int64_t lastWanted() const { return lastWanted_.load(std::memory_order_acquire); }
    // Parts after this one are not wanted; never raises the limit.
    void wantNothingAfter(std::int64_t index);
    void abandon() { abandoned_.store(true, std::memory_order_release); }

private:
    const std::atomic<bool>* stop_;
    std::atomic<std::int64_t> lastWanted_{std::numeric_limits<std::int64_t>::max()};
    std::atomic<bool> abandoned_{false};
};

// True when every byte of a non-empty block is zero: a hole of a sparse
// file may lie under it. memcmp of the block against itself shifted by one
// tells that at the speed of memory, where a byte loop would crawl through
// the gigabytes of a sparse source's holes.
bool IsAllZero(std::span<const std::byte> block);

// Copies at most `want` bytes of `source` from `offset` into `target`:
// through a buffer of the feed when there is one, else in the kernel where
// the platform can, else through `buffer` (sized on first need to `want`).
CopyStepResult CopyStep(File& source, std::int64_t offset, std::uint64_t want, const StepTarget& target,
                        const StepFeed& feed, std::vector<std::byte>& buffer);

// Stores in `target` the bytes of `block`, which were just read from
// `source` at `offset` (to be hashed): written from the block, which costs
// no more than a copy inside the kernel, except where the block is all
// zeros: that may be a hole of a sparse source, and the kernel's copy keeps
// it a hole in the target. The count stored, with the write's failure if
// there was one.
Result<std::size_t> StoreReadBlock(File& source, std::int64_t offset, std::span<const std::byte> block, File& target);

// Copies the job's range from the source into part in steps of at most
// blockSize bytes (the feed's block size when there is one), then flushes (if asked) and closes part. Before every step
// betweenSteps runs (if set) and the copy stops when the part is no longer
// wanted. `bytes` follows the count written, for a progress display on
// another thread. A failure or the end of the source makes the parts after
// this one unwanted. `buffer` is the thread's own, sized on first need.
PartCopyResult CopyAndClosePart(File& source, const PartJob& job, File& part, const PartCopySettings& settings,
                                std::vector<std::byte>& buffer, SharedCopyState& shared,
                                std::atomic<std::int64_t>& bytes, const std::function<void()>& betweenSteps);

} // namespace darvolt
