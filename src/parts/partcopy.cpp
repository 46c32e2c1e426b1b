#include "parts/partcopy.h"

#include <algorithm>
#include <cstring>

namespace darvolt {

void SharedCopyState::wantNothingAfter(std::int64_t index)
{
    std::int64_t current = lastWanted_.load(std::memory_order_acquire);
    while (index < current && !lastWanted_.compare_exchange_weak(current, index, std::memory_order_acq_rel)) {
    }
}

namespace {

struct Step {
    std::uint64_t count = 0; // bytes stored in the part; 0 at the end of the source
    PartCopyFailure failure = PartCopyFailure::None;
    ErrorCode error = error::None;
};

// One step: the in-kernel copy where the platform can, else a read at the
// offset and a write.
Step copyStep(File& source, std::int64_t offset, File& part, std::uint64_t want, std::size_t blockSize,
              std::vector<std::byte>& buffer)
{
    const CopyResult moved = source.copyRangeTo(offset, part, want);
    if (!moved.fallBack)
        return {moved.bytes};
    if (buffer.empty())
        buffer.resize(blockSize);
    const auto got = source.readAt(offset, std::span(buffer).first(static_cast<std::size_t>(want)));
    if (!got.ok())
        return {0, PartCopyFailure::Read, got.error};
    if (got.value == 0)
        return {};
    const auto put = part.write(std::span<const std::byte>(buffer).first(got.value));
    // Bytes read but not stored would be missing from the parts.
    if (!put.ok() || put.value != got.value)
        return {put.value, PartCopyFailure::Write, put.error};
    return {got.value};
}

} // namespace

bool IsAllZero(std::span<const std::byte> block)
{
    return !block.empty() && block[0] == std::byte{0}
           && std::memcmp(block.data(), block.data() + 1, block.size() - 1) == 0;
}

Result<std::size_t> StoreReadBlock(File& source, std::int64_t offset, std::span<const std::byte> block, File& target)
{
    const bool allZero = block.empty() || IsAllZero(block);
    std::size_t stored = 0;
    while (allZero && stored < block.size()) {
        const CopyResult moved =
            source.copyRangeTo(offset + static_cast<std::int64_t>(stored), target, block.size() - stored);
        if (moved.fallBack || moved.bytes == 0)
            break;
        stored += static_cast<std::size_t>(moved.bytes);
    }
    if (stored == block.size())
        return {stored, error::None};
    const auto put = target.write(block.subspan(stored));
    return {stored + put.value, put.error};
}

namespace {

// One step through a buffer of the feed, which is handed the bytes the part
// took. Waiting for a free buffer goes on in slices, with
// the run's own work in between, until one comes free or the part is no
// longer wanted.
Step hashedStep(File& source, std::int64_t offset, File& part, std::uint64_t want, BlockFeed& feed,
                const std::function<void()>& betweenSteps, const std::function<bool()>& wanted)
{
    std::span<std::byte> block;
    while ((block = feed.acquire(std::chrono::milliseconds(10))).empty()) {
        if (betweenSteps)
            betweenSteps();
        if (!wanted())
            return {0, PartCopyFailure::Stopped};
    }
    const auto got = source.readAt(offset, block.first(static_cast<std::size_t>(want)));
    if (!got.ok() || got.value == 0) {
        feed.submit(block, 0);
        return got.ok() ? Step{} : Step{0, PartCopyFailure::Read, got.error};
    }
    const auto put = StoreReadBlock(source, offset, std::span<const std::byte>(block).first(got.value), part);
    feed.submit(block, put.value);
    if (!put.ok() || put.value != got.value)
        return {put.value, PartCopyFailure::Write, put.error};
    return {got.value};
}

} // namespace

PartCopyResult CopyAndClosePart(File& source, const PartJob& job, File& part, const PartCopySettings& settings,
                                std::vector<std::byte>& buffer, SharedCopyState& shared,
                                std::atomic<std::int64_t>& bytes, const std::function<void()>& betweenSteps)
{
    PartCopyResult result;
    std::uint64_t count = 0;
    const std::size_t blockSize = settings.feed ? settings.feed->blockSize() : settings.blockSize;
    do {
        if (betweenSteps)
            betweenSteps();
        if (!shared.wanted(job.index)) {
            result.failure = PartCopyFailure::Stopped;
            break;
        }
        const std::int64_t offset = job.offset + result.written;
        std::int64_t want = std::min(job.size - result.written, static_cast<std::int64_t>(blockSize));
        if (settings.sourceEnd >= 0)
            want = std::clamp<std::int64_t>(settings.sourceEnd - offset, 0, want);
        count = 0;
        if (want == 0)
            break; // the source's end as the run found it: nothing past it is read
        const Step step =
            settings.feed
                ? hashedStep(source, offset, part, static_cast<std::uint64_t>(want), *settings.feed,
                             betweenSteps, [&] { return shared.wanted(job.index); })
                : copyStep(source, offset, part, static_cast<std::uint64_t>(want), settings.blockSize, buffer);
        count = step.count;
        if (step.failure == PartCopyFailure::Write && step.error == error::DiskFull && settings.endAtFullMedium) {
            // The medium holds less than its free space promised (room its
            // file system keeps for itself): the part ends with what fitted.
            result.written += static_cast<std::int64_t>(step.count);
            result.mediumFull = true;
            break;
        }
        result.failure = step.failure;
        if (result.failure != PartCopyFailure::None)
            break;
        if (count == 0 && settings.sourceEnd >= 0) {
            // Shorter than when the run opened it: truncated or rewritten.
            result.failure = PartCopyFailure::Changed;
            break;
        }
        result.written += static_cast<std::int64_t>(count);
        bytes.store(result.written, std::memory_order_relaxed);
    } while (count != 0 && result.written < job.size);
    bytes.store(result.written, std::memory_order_relaxed);

    // The other thread learns first that the parts after this one are not
    // wanted, so that it stops before this thread is done closing.
    const bool failed = result.failure != PartCopyFailure::None && result.failure != PartCopyFailure::Stopped;
    result.sourceEnded = result.failure == PartCopyFailure::None && count == 0 && !result.mediumFull;
    if (failed || result.sourceEnded)
        shared.wantNothingAfter(job.index);
    if (result.failure != PartCopyFailure::None) {
        part.close(); // the part stays as far as it got; its failure is already known
        return result;
    }
    const bool flushed = !settings.flush || part.flush() == error::None;
    const bool closed = part.close() == error::None;
    if (!flushed || !closed) {
        // A flush or close that fails may have lost data the writes accepted.
        result.failure = PartCopyFailure::Write;
        shared.wantNothingAfter(job.index);
    }
    return result;
}

} // namespace darvolt
