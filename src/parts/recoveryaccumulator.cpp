#include "parts/recoveryaccumulator.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace darvolt {

namespace {

// Two jobs of several parts' ranges: enough parts per job that a recovery
// chunk is reused many times, few enough that a job's chunks stay in the
// second-level cache.
constexpr std::size_t JobMemory = std::size_t{64} << 20;
constexpr std::size_t MostPartsPerJob = 64;
// A recovery chunk stays in the first-level cache while a job's parts are
// multiplied into it.
constexpr std::size_t Chunk = std::size_t{16} << 10;

} // namespace

RecoveryShape ShapeRecovery(std::int64_t sliceSize, std::size_t parts, std::uint32_t recoverySlices,
                            std::size_t budget)
{
    RecoveryShape shape;
    shape.sliceSize = sliceSize;
    shape.recoverySlices = recoverySlices;
    const std::size_t slice = GfUnits(static_cast<std::size_t>(std::max<std::int64_t>(sliceSize, 1)));
    const std::size_t available = budget > 2 * JobMemory ? budget - JobMemory : budget / 2;
    const std::size_t perSlice = available / std::max<std::uint32_t>(recoverySlices, 1) / GfRegion::Unit * GfRegion::Unit;
    shape.rangeBytes = std::clamp<std::size_t>(perSlice, GfRegion::Unit, slice);
    const std::size_t fit = JobMemory / 2 / shape.rangeBytes;
    shape.partsPerJob = std::min({MostPartsPerJob, parts, fit});
    if (shape.partsPerJob < 2)
        shape.partsPerJob = 1;
    return shape;
}

RecoveryAccumulator::RecoveryAccumulator(RecoveryShape shape) : shape_(std::move(shape))
{
    if (shape_.rangeBytes == 0 || shape_.rangeBytes % GfRegion::Unit != 0)
        throw std::invalid_argument("a recovery range is whole units");
    recovery_ = AllocateAligned(std::max<std::size_t>(shape_.recoverySlices, 1) * shape_.rangeBytes);
    const std::size_t slots = shape_.partsPerJob;
    const std::size_t job = shape_.partsPerJob > 1 ? slots * shape_.rangeBytes : RecoveryShape::PieceBytes;
    for (Job& each : jobs_)
        each.buffer = AllocateAligned(job);
}

RecoveryAccumulator::~RecoveryAccumulator() = default;

void RecoveryAccumulator::beginPass(std::int64_t offset, std::size_t width)
{
    endPass();
    offset_ = offset;
    width_ = std::min(GfUnits(width), shape_.rangeBytes);
    std::memset(recovery_.get(), 0, std::max<std::size_t>(shape_.recoverySlices, 1) * shape_.rangeBytes);
}

void RecoveryAccumulator::startFilling(std::size_t part, std::size_t offset)
{
    Job& job = filling();
    job.parts.assign(1, part);
    job.filled.assign(1, 0);
    job.offset = shape_.partsPerJob > 1 ? 0 : offset / RecoveryShape::PieceBytes * RecoveryShape::PieceBytes;
    gathering_ = true;
}

void RecoveryAccumulator::add(std::size_t part, std::size_t offset, std::span<const std::byte> bytes)
{
    while (!bytes.empty() && offset < width_) {
        Job& job = filling();
        if (shape_.partsPerJob > 1) {
            if (!gathering_) {
                startFilling(part, offset);
            } else if (job.parts.back() != part) {
                if (job.parts.size() == shape_.partsPerJob) {
                    dispatch();
                    continue;
                }
                job.parts.push_back(part);
                job.filled.push_back(0);
            }
        } else if (!gathering_) {
            startFilling(part, offset);
        } else if (job.parts.back() != part || offset >= job.offset + stride()) {
            dispatch();
            continue;
        }
        const std::size_t slot = job.parts.size() - 1;
        const std::size_t at = offset - job.offset;
        const std::size_t end = std::min(width_ - job.offset, stride());
        const std::size_t count = std::min(bytes.size(), end - at);
        std::memcpy(job.buffer.get() + slot * stride() + at, bytes.data(), count);
        job.filled[slot] = std::max(job.filled[slot], at + count);
        bytes = bytes.subspan(count);
        offset += count;
    }
}

ErrorCode RecoveryAccumulator::addFrom(File& file, std::size_t part, std::int64_t end, std::span<std::byte> buffer)
{
    end = std::min(end, offset_ + static_cast<std::int64_t>(width_));
    for (std::int64_t at = offset_; at < end;) {
        const auto wanted = buffer.first(static_cast<std::size_t>(std::min<std::int64_t>(end - at, static_cast<std::int64_t>(buffer.size()))));
        const auto read = file.readAt(at, wanted);
        if (!read.ok())
            return read.error;
        if (read.value != wanted.size())
            return error::DeviceError;
        add(part, static_cast<std::size_t>(at - offset_), wanted);
        at += static_cast<std::int64_t>(wanted.size());
    }
    return error::None;
}

void RecoveryAccumulator::endPart(std::size_t part)
{
    if (!gathering_ || filling().parts.back() != part)
        return;
    if (shape_.partsPerJob == 1 || filling().parts.size() == shape_.partsPerJob)
        dispatch();
}

void RecoveryAccumulator::dispatch()
{
    Job& job = filling();
    gathering_ = false;
    const std::size_t slots = job.parts.size();
    if (shape_.partsPerJob > 1) {
        job.length = width_;
    } else {
        job.length = GfUnits(job.filled.front());
    }
    // Per recovery slice, the factors of the job's parts, side by side.
    auto factors = std::make_shared<std::vector<GfRegion::Factor>>(slots * shape_.recoverySlices);
    for (std::size_t slot = 0; slot < slots; ++slot)
        for (std::uint32_t r = 0; r < shape_.recoverySlices; ++r)
            (*factors)[r * slots + slot] = GfRegion::prepare(Par2Coefficient(shape_.sliceIndex.at(job.parts[slot]), shape_.exponent(r)));

    // The other job writes the same recovery ranges.
    Job& other = jobs_[1 - fill_];
    wait(other, {}, std::chrono::milliseconds(1000));
    const std::size_t middle = std::min(job.length, GfUnits(job.length / 2));
    job.running = true;
    workers_[0].start([this, &job, factors, middle] { work(job, *factors, 0, middle); });
    workers_[1].start([this, &job, factors, middle] { work(job, *factors, middle, job.length); });
    fill_ = 1 - fill_;
}

void RecoveryAccumulator::work(const Job& job, const std::vector<GfRegion::Factor>& factors, std::size_t from,
                               std::size_t to)
{
    const std::size_t slots = job.parts.size();
    // Each thread turns its half of the parts into the working layout: off
    // the thread that gathers them, and into this core's cache.
    for (std::size_t slot = 0; slot < slots; ++slot) {
        std::byte* at = job.buffer.get() + slot * stride() + from;
        const std::size_t given = std::clamp(job.filled[slot], from, to) - from;
        region_.toWorking(std::span<const std::byte>(at, given), at, to - from);
    }
    std::vector<const std::byte*> sources(slots);
    for (std::size_t at = from; at < to; at += Chunk) {
        const std::size_t count = std::min(Chunk, to - at);
        for (std::size_t slot = 0; slot < slots; ++slot)
            sources[slot] = job.buffer.get() + slot * stride() + at;
        for (std::uint32_t r = 0; r < shape_.recoverySlices; ++r)
            region_.multiplyAddMany(sources.data(), factors.data() + r * slots, slots,
                                    recovery_.get() + r * shape_.rangeBytes + job.offset + at, count);
    }
}

void RecoveryAccumulator::wait(Job& job, const std::function<void()>& idle, std::chrono::milliseconds wait)
{
    if (!job.running)
        return;
    for (JobThread& worker : workers_)
        while (worker.busy() && !worker.collect(wait))
            if (idle)
                idle();
    job.running = false;
}

void RecoveryAccumulator::endPass(const std::function<void()>& idle, std::chrono::milliseconds wait)
{
    if (gathering_)
        dispatch();
    for (Job& job : jobs_)
        this->wait(job, idle, wait);
}

void RecoveryAccumulator::takeRange(std::uint32_t exponent, std::size_t offset, std::span<std::byte> plain) const
{
    if (offset >= width_)
        return;
    region_.fromWorking(recovery_.get() + exponent * shape_.rangeBytes + offset,
                        plain.first(std::min(plain.size(), width_ - offset)));
}

} // namespace darvolt
