#pragma once
// The arithmetic of PAR2 recovery slices whose input slices are whole
// parts: every recovery slice r is the sum over the parts p of
// c(p)^r * part p, in GF(2^16), each part zero-padded to the slice size.
//
// It works on a range of the slices at a time (a pass), so that the
// recovery slices being built, the largest buffer, fit a memory budget:
// one pass for everything when they fit, otherwise several, each over a
// range of every part.
//
// The speed limit is memory, not the processor: a recovery range is
// brought into the cache once for many parts, not once per part. Parts
// are gathered in a job of several parts' ranges (or, when a part's range
// alone is large, in pieces of one part), and a job is worked chunk by
// chunk: a chunk of one recovery slice stays in the first-level cache
// while every part of the job is multiplied into it. A job is worked by
// two threads, each on half of its range, while the next job is gathered.

#include "parts/gf16.h"
#include "parts/jobthread.h"
#include "platform/platform.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace darvolt {

struct RecoveryShape {
    std::int64_t sliceSize = 0;            // bytes, a multiple of 4
    std::vector<std::size_t> sliceIndex;   // per part: its slice's place in the set (its constant)
    std::uint32_t recoverySlices = 0;      // how many are built
    std::vector<std::uint32_t> exponents;  // theirs; empty: 0 .. recoverySlices - 1
    std::uint32_t exponent(std::uint32_t slice) const { return exponents.empty() ? slice : exponents[slice]; }
    std::size_t rangeBytes = 0;            // the widest range a pass covers, a multiple of GfRegion::Unit
    std::size_t partsPerJob = 1;           // 1: jobs are pieces of one part
    static constexpr std::size_t PieceBytes = std::size_t{4} << 20;
};

// How to cut the work for `parts` parts of `sliceSize` bytes and
// `recoverySlices` slices within `budget` bytes of memory.
RecoveryShape ShapeRecovery(std::int64_t sliceSize, std::size_t parts, std::uint32_t recoverySlices,
                            std::size_t budget);

class RecoveryAccumulator {
public:
    explicit RecoveryAccumulator(RecoveryShape shape);
    ~RecoveryAccumulator();
    RecoveryAccumulator(const RecoveryAccumulator&) = delete;
    RecoveryAccumulator& operator=(const RecoveryAccumulator&) = delete;

    const RecoveryShape& shape() const { return shape_; }

    // Starts the range [offset, offset + width) of every slice; the
    // recovery ranges start at zero.
    void beginPass(std::int64_t offset, std::size_t width);
    // Bytes of `part` at `offset` within the range; a part's bytes come in
    // order, parts in increasing order, each at most once per pass.
    void add(std::size_t part, std::size_t offset, std::span<const std::byte> bytes);
    void endPart(std::size_t part);
    // Reads the pass's range of `part` from its file, up to `end` (its
    // length), a buffer at a time, and adds it.
    ErrorCode addFrom(File& file, std::size_t part, std::int64_t end, std::span<std::byte> buffer);
    // Waits for the last job, calling `idle` at least every `wait`
    // meanwhile. Rethrows what the arithmetic threw.
    void endPass(const std::function<void()>& idle = {}, std::chrono::milliseconds wait = std::chrono::milliseconds(50));

    std::int64_t passOffset() const { return offset_; }
    std::size_t passWidth() const { return width_; }
    // After endPass(): the pass's range of the slice-th recovery slice, in
    // the working layout.
    const std::byte* workedRange(std::uint32_t slice) const { return recovery_.get() + slice * shape_.rangeBytes; }
    const GfRegion& region() const { return region_; }
    // After endPass(): the pass's range of recovery slice `exponent` from
    // `offset` on (a multiple of GfRegion::Unit), as plain words.
    void takeRange(std::uint32_t exponent, std::size_t offset, std::span<std::byte> plain) const;

private:
    struct Job {
        AlignedBytes buffer;               // partsPerJob slots of stride bytes
        std::vector<std::size_t> parts;    // in the slots
        std::vector<std::size_t> filled;   // per slot, bytes given
        std::size_t offset = 0;            // of the job's range within the pass's range
        std::size_t length = 0;
        bool running = false;
    };
    std::size_t stride() const { return shape_.partsPerJob > 1 ? width_ : RecoveryShape::PieceBytes; }
    Job& filling() { return jobs_[fill_]; }
    void startFilling(std::size_t part, std::size_t offset);
    void dispatch();
    void wait(Job& job, const std::function<void()>& idle, std::chrono::milliseconds wait);
    // Multiplies the job's slots into the recovery ranges over [from, to) of its range.
    void work(const Job& job, const std::vector<GfRegion::Factor>& factors, std::size_t from, std::size_t to);

    RecoveryShape shape_;
    GfRegion region_;
    AlignedBytes recovery_; // recoverySlices ranges of rangeBytes
    std::array<Job, 2> jobs_;
    std::size_t fill_ = 0;
    bool gathering_ = false; // the filling job holds something
    std::int64_t offset_ = 0;
    std::size_t width_ = 0;
    std::array<JobThread, 2> workers_;
};

} // namespace darvolt
