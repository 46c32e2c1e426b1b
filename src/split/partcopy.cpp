#include "split/partcopy.h"

#include <algorithm>

namespace darvolt {

void SharedCopyState::wantNothingAfter(std::int64_t index)
{
    std::int64_t current = lastWanted_.load(std::memory_order_acquire);
    while (index < current && !lastWanted_.compare_exchange_weak(current, index, std::memory_order_acq_rel)) {
    }
}

namespace {

// One step: the in-kernel copy where the platform can, else a read at the
// offset and a write. The count is 0 at the end of the source.
PartCopyFailure copyStep(File& source, std::int64_t offset, File& part, std::uint64_t want,
                         std::size_t blockSize, std::vector<std::byte>& buffer, std::uint64_t& count)
{
    const CopyResult moved = source.copyRangeTo(offset, part, want);
    if (!moved.fallBack) {
        count = moved.bytes;
        return PartCopyFailure::None;
    }
    if (buffer.empty())
        buffer.resize(blockSize);
    const auto got = source.readAt(offset, std::span(buffer).first(static_cast<std::size_t>(want)));
    if (!got.ok())
        return PartCopyFailure::Read;
    count = got.value;
    if (count == 0)
        return PartCopyFailure::None;
    const auto put = part.write(std::span<const std::byte>(buffer).first(got.value));
    // Bytes read but not stored would be missing from the parts.
    if (!put.ok() || put.value != got.value)
        return PartCopyFailure::Write;
    return PartCopyFailure::None;
}

} // namespace

PartCopyResult CopyAndClosePart(File& source, const PartJob& job, File& part, std::size_t blockSize,
                                std::vector<std::byte>& buffer, SharedCopyState& shared,
                                std::atomic<std::int64_t>& bytes, const std::function<void()>& betweenSteps)
{
    PartCopyResult result;
    std::uint64_t count = 0;
    do {
        if (betweenSteps)
            betweenSteps();
        if (!shared.wanted(job.index)) {
            result.failure = PartCopyFailure::Stopped;
            break;
        }
        const auto want = static_cast<std::uint64_t>(
            std::min<std::int64_t>(job.size - result.written, static_cast<std::int64_t>(blockSize)));
        count = 0;
        result.failure = copyStep(source, job.offset + result.written, part, want, blockSize, buffer, count);
        if (result.failure != PartCopyFailure::None)
            break;
        result.written += static_cast<std::int64_t>(count);
        bytes.store(result.written, std::memory_order_relaxed);
    } while (count != 0 && result.written < job.size);

    // The other thread learns first that the parts after this one are not
    // wanted, so that it stops before this thread is done closing.
    const bool failed = result.failure == PartCopyFailure::Read || result.failure == PartCopyFailure::Write;
    result.sourceEnded = result.failure == PartCopyFailure::None && count == 0;
    if (failed || result.sourceEnded)
        shared.wantNothingAfter(job.index);
    if (result.failure != PartCopyFailure::None) {
        part.close(); // the part stays as far as it got; its failure is already known
    } else if (part.close() != error::None) {
        // A close that fails may have lost data the write calls accepted.
        result.failure = PartCopyFailure::Write;
        shared.wantNothingAfter(job.index);
    }
    return result;
}

} // namespace darvolt
