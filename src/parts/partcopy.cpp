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

// Stores a block just read at `offset` of the source where the target wants it.
Result<std::size_t> store(File& source, std::int64_t offset, std::span<const std::byte> block, const StepTarget& target)
{
    if (target.file == nullptr || (target.at >= 0 && target.holes && IsAllZero(block)))
        return {block.size(), error::None};
    if (target.at < 0)
        return StoreReadBlock(source, offset, block, *target.file);
    return target.file->writeAt(target.at, block);
}

CopyStepResult stored(const Result<std::size_t>& put, std::size_t got)
{
    // Bytes read but not stored would be missing from the target.
    if (!put.ok() || put.value != got)
        return {put.value, CopyFailure::Write, put.error};
    return {got};
}

} // namespace

CopyStepResult CopyStep(File& source, std::int64_t offset, std::uint64_t want, const StepTarget& target,
                        const StepFeed& feed, std::vector<std::byte>& buffer)
{
    if (feed.feed == nullptr) {
        if (target.file != nullptr && target.at < 0)
            if (const CopyResult moved = source.copyRangeTo(offset, *target.file, want); !moved.fallBack)
                return {moved.bytes};
        if (buffer.size() < want)
            buffer.resize(static_cast<std::size_t>(want));
        const auto got = source.readAt(offset, std::span(buffer).first(static_cast<std::size_t>(want)));
        if (!got.ok())
            return {0, CopyFailure::Read, got.error};
        if (got.value == 0)
            return {};
        return stored(store(source, offset, std::span<const std::byte>(buffer).first(got.value), target), got.value);
    }
    std::span<std::byte> block;
    while ((block = feed.feed->acquire(feed.part, std::chrono::milliseconds(10))).empty())
        if (feed.waiting && !feed.waiting())
            return {0, CopyFailure::Stopped};
    const auto got = source.readAt(offset, block.first(static_cast<std::size_t>(want)));
    if (!got.ok() || got.value == 0) {
        feed.feed->submit(feed.part, block, 0);
        return got.ok() ? CopyStepResult{} : CopyStepResult{0, CopyFailure::Read, got.error};
    }
    const auto put = store(source, offset, std::span<const std::byte>(block).first(got.value), target);
    feed.feed->submit(feed.part, block, put.value, feed.takeHere);
    return stored(put, got.value);
}

PartCopyResult CopyAndClosePart(File& source, const PartJob& job, File& part, const PartCopySettings& settings,
                                std::vector<std::byte>& buffer, SharedCopyState& shared,
                                std::atomic<std::int64_t>& bytes, const std::function<void()>& betweenSteps)
{
    PartCopyResult result;
    std::uint64_t count = 0;
    const std::size_t blockSize = settings.feed ? settings.feed->blockSize() : settings.blockSize;
    const StepFeed waitFor{settings.feed, job.index, [&] {
                               if (betweenSteps)
                                   betweenSteps();
                               return shared.wanted(job.index);
                           }};
    do {
        if (betweenSteps)
            betweenSteps();
        if (!shared.wanted(job.index)) {
            result.failure = CopyFailure::Stopped;
            break;
        }
        const std::int64_t offset = job.offset + result.written;
        std::int64_t want = std::min(job.size - result.written, static_cast<std::int64_t>(blockSize));
        if (settings.sourceEnd >= 0)
            want = std::clamp<std::int64_t>(settings.sourceEnd - offset, 0, want);
        count = 0;
        if (want == 0)
            break; // the source's end as the run found it: nothing past it is read
        const CopyStepResult step =
            CopyStep(source, offset, static_cast<std::uint64_t>(want), {&part}, waitFor, buffer);
        count = step.count;
        if (step.failure == CopyFailure::Write && step.error == error::DiskFull && settings.endAtFullMedium) {
            // The medium holds less than its free space promised (room its
            // file system keeps for itself): the part ends with what fitted.
            result.written += static_cast<std::int64_t>(step.count);
            result.mediumFull = true;
            break;
        }
        result.failure = step.failure;
        result.error = step.error;
        if (result.failure != CopyFailure::None)
            break;
        if (count == 0 && settings.sourceEnd >= 0) {
            // Shorter than when the run opened it: truncated or rewritten.
            result.failure = CopyFailure::Changed;
            break;
        }
        result.written += static_cast<std::int64_t>(count);
        bytes.store(result.written, std::memory_order_relaxed);
    } while (count != 0 && result.written < job.size);
    bytes.store(result.written, std::memory_order_relaxed);

    // The other thread learns first that the parts after this one are not
    // wanted, so that it stops before this thread is done closing.
    const bool failed = result.failure != CopyFailure::None && result.failure != CopyFailure::Stopped;
    result.sourceEnded = result.failure == CopyFailure::None && count == 0 && !result.mediumFull;
    if (failed || result.sourceEnded)
        shared.wantNothingAfter(job.index);
    if (result.failure != CopyFailure::None) {
        part.close(); // the part stays as far as it got; its failure is already known
        return result;
    }
    const bool flushed = !settings.flush || part.flush() == error::None;
    const bool closed = part.close() == error::None;
    if (!flushed || !closed) {
        // A flush or close that fails may have lost data the writes accepted.
        result.failure = CopyFailure::Write;
        shared.wantNothingAfter(job.index);
    }
    return result;
}

} // namespace darvolt
