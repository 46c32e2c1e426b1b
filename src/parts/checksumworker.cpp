#include "parts/checksumworker.h"

#include <algorithm>
#include <utility>

namespace darvolt {

ChecksumWorker::ChecksumWorker(std::size_t blockSize, bool hashWhole, std::size_t buffers)
    : blockSize_(blockSize), hashWhole_(hashWhole)
{
    for (std::size_t i = 0; i < std::max<std::size_t>(buffers, 1); ++i) {
        storage_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize_));
        free_.push_back(static_cast<int>(i));
    }
    holds_.assign(storage_.size(), 0);
    parts_.digests = &ready_;
    thread_ = std::thread([this] { loop(); });
}

ChecksumWorker::~ChecksumWorker()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::span<std::byte> ChecksumWorker::acquire(std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (failure_)
            std::rethrow_exception(failure_);
        if (!free_.empty()) {
            const int buffer = free_.back();
            free_.pop_back();
            return {storage_[static_cast<std::size_t>(buffer)].get(), blockSize_};
        }
        if (Lane* lane = idleLane())
            workOn(*lane, lock);
        else if (changed_.wait_until(lock, until) == std::cv_status::timeout && free_.empty() && !idleLane())
            return {};
    }
}

void ChecksumWorker::submit(std::span<std::byte> buffer, std::size_t count)
{
    {
        const std::lock_guard lock(mutex_);
        const auto found = std::find_if(storage_.begin(), storage_.end(),
                                        [&](const auto& block) { return block.get() == buffer.data(); });
        const int index = static_cast<int>(found - storage_.begin());
        count = std::min(count, buffer.size());
        if (count == 0) {
            free_.push_back(index);
        } else {
            holds_[static_cast<std::size_t>(index)] = hashWhole_ ? 2 : 1;
            parts_.pending.push_back({index, count});
            if (hashWhole_)
                whole_.pending.push_back({index, count});
        }
    }
    changed_.notify_all();
}

void ChecksumWorker::endPart()
{
    {
        const std::lock_guard lock(mutex_);
        parts_.pending.push_back({});
    }
    changed_.notify_all();
}

bool ChecksumWorker::finished(std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (failure_)
            std::rethrow_exception(failure_);
        if (allHashed())
            return true;
        if (Lane* lane = idleLane())
            workOn(*lane, lock);
        else if (changed_.wait_until(lock, until) == std::cv_status::timeout)
            return allHashed() && !failure_;
    }
}

std::vector<Sha256Digest> ChecksumWorker::takeReadyDigests()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(ready_, {});
}

Sha256Digest ChecksumWorker::wholeDigest()
{
    const std::lock_guard lock(mutex_);
    return whole_.hash.finish();
}

bool ChecksumWorker::allHashed() const
{
    return parts_.pending.empty() && whole_.pending.empty() && !parts_.busy && !whole_.busy;
}

ChecksumWorker::Lane* ChecksumWorker::idleLane()
{
    Lane* best = nullptr;
    for (Lane* lane : {&parts_, &whole_})
        if (!lane->busy && !lane->pending.empty() && (!best || lane->pending.size() > best->pending.size()))
            best = lane;
    return best;
}

void ChecksumWorker::workOn(Lane& lane, std::unique_lock<std::mutex>& lock)
{
    const Item item = lane.pending.front();
    lane.pending.pop_front();
    lane.busy = true;
    const std::byte* data = item.buffer >= 0 ? storage_[static_cast<std::size_t>(item.buffer)].get() : nullptr;
    lock.unlock();

    std::exception_ptr failure;
    Sha256Digest digest{};
    try {
        if (data != nullptr)
            lane.hash.update({data, item.count});
        else
            digest = lane.hash.finish();
    } catch (...) {
        failure = std::current_exception();
    }

    lock.lock();
    lane.busy = false;
    if (item.buffer >= 0 && --holds_[static_cast<std::size_t>(item.buffer)] == 0)
        free_.push_back(item.buffer);
    if (item.buffer < 0 && lane.digests != nullptr && !failure)
        lane.digests->push_back(digest);
    if (failure && !failure_)
        failure_ = failure;
    changed_.notify_all();
}

void ChecksumWorker::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || idleLane() != nullptr; });
        if (quit_)
            return;
        workOn(*idleLane(), lock);
    }
}

} // namespace darvolt
