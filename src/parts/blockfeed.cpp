#include "parts/blockfeed.h"

#include <algorithm>

namespace darvolt {

BlockFeed::BlockFeed(std::size_t blockSize, std::vector<BlockConsumer*> consumers, std::size_t buffers)
    : blockSize_(blockSize)
{
    for (std::size_t i = 0; i < std::max<std::size_t>(buffers, 1); ++i) {
        storage_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize_));
        free_.push_back(static_cast<int>(i));
    }
    holds_.assign(storage_.size(), 0);
    for (BlockConsumer* consumer : consumers) {
        const int count = std::max(consumer->lanes(), 1);
        for (int i = 0; i < count; ++i)
            lanes_.push_back(Lane{consumer, i, count, {}, false});
    }
    thread_ = std::thread([this] { loop(); });
}

BlockFeed::~BlockFeed()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::span<std::byte> BlockFeed::acquire(std::chrono::milliseconds wait)
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
        if (Lane* lane = idleLane(false))
            workOn(*lane, lock);
        else if (changed_.wait_until(lock, until) == std::cv_status::timeout && free_.empty() && !idleLane(false))
            return {};
    }
}

void BlockFeed::submit(std::span<std::byte> buffer, std::size_t count)
{
    {
        const std::lock_guard lock(mutex_);
        const auto found = std::find_if(storage_.begin(), storage_.end(),
                                        [&](const auto& block) { return block.get() == buffer.data(); });
        const int index = static_cast<int>(found - storage_.begin());
        count = std::min(count, buffer.size());
        int holders = 0;
        if (count > 0)
            for (Lane& lane : lanes_)
                if (lane.takes(part_)) {
                    lane.pending.push_back({index, count, part_});
                    ++holders;
                }
        holds_[static_cast<std::size_t>(index)] = holders;
        if (holders == 0)
            free_.push_back(index);
    }
    changed_.notify_all();
}

void BlockFeed::endPart()
{
    {
        const std::lock_guard lock(mutex_);
        for (Lane& lane : lanes_)
            if (lane.takes(part_))
                lane.pending.push_back({-1, 0, part_});
        ++part_;
    }
    changed_.notify_all();
}

bool BlockFeed::finished(std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (failure_)
            std::rethrow_exception(failure_);
        if (allDone())
            return true;
        if (Lane* lane = idleLane(false))
            workOn(*lane, lock);
        else if (changed_.wait_until(lock, until) == std::cv_status::timeout)
            return allDone() && !failure_;
    }
}

bool BlockFeed::allDone() const
{
    return std::all_of(lanes_.begin(), lanes_.end(), [](const Lane& l) { return l.pending.empty() && !l.busy; });
}

BlockFeed::Lane* BlockFeed::idleLane(bool feedThread)
{
    Lane* best = nullptr;
    for (Lane& lane : lanes_) {
        if (lane.busy || lane.pending.empty())
            continue;
        const bool onlyHere = lane.consumer->waitsLong();
        if (onlyHere && !feedThread)
            continue;
        // Only the feed's thread works a lane that waits long, so it goes first.
        if (!best || (onlyHere && !best->consumer->waitsLong())
            || (onlyHere == best->consumer->waitsLong() && lane.pending.size() > best->pending.size()))
            best = &lane;
    }
    return best;
}

void BlockFeed::workOn(Lane& lane, std::unique_lock<std::mutex>& lock)
{
    const Item item = lane.pending.front();
    lane.pending.pop_front();
    lane.busy = true;
    const std::byte* data = item.buffer >= 0 ? storage_[static_cast<std::size_t>(item.buffer)].get() : nullptr;
    lock.unlock();

    std::exception_ptr failure;
    try {
        if (data != nullptr)
            lane.consumer->consume(lane.index, item.part, {data, item.count});
        else
            lane.consumer->endPart(lane.index, item.part);
    } catch (...) {
        failure = std::current_exception();
    }

    lock.lock();
    lane.busy = false;
    if (item.buffer >= 0 && --holds_[static_cast<std::size_t>(item.buffer)] == 0)
        free_.push_back(item.buffer);
    if (failure && !failure_)
        failure_ = failure;
    changed_.notify_all();
}

void BlockFeed::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || idleLane(true) != nullptr; });
        if (quit_)
            return;
        workOn(*idleLane(true), lock);
    }
}

} // namespace darvolt
