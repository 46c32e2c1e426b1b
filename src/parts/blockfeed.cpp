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
    owner_.assign(storage_.size(), -1);
    for (BlockConsumer* consumer : consumers) {
        const int count = std::max(consumer->lanes(), 1);
        for (int i = 0; i < count; ++i)
            lanes_.push_back(Lane{consumer, i, count, i, {}, false});
    }
    thread_ = std::thread([this] { loop(); });
}

BlockFeed::~BlockFeed()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_all();
    thread_.join();
}

std::size_t BlockFeed::Lane::ready() const
{
    const auto now = pending.find(next);
    return now == pending.end() ? 0 : now->second.size();
}

bool BlockFeed::mustWait(std::int64_t part) const
{
    if (part <= firstOpen_)
        return false;
    const auto later = std::count_if(owner_.begin(), owner_.end(), [this](std::int64_t p) { return p > firstOpen_; });
    return static_cast<std::size_t>(later) >= storage_.size() / 2;
}

std::span<std::byte> BlockFeed::acquire(std::int64_t part, std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (failure_)
            std::rethrow_exception(failure_);
        if (!free_.empty() && !mustWait(part)) {
            const int buffer = free_.back();
            free_.pop_back();
            owner_[static_cast<std::size_t>(buffer)] = part;
            return {storage_[static_cast<std::size_t>(buffer)].get(), blockSize_};
        }
        if (Lane* lane = idleLane(false))
            workOn(*lane, lock);
        else if (changed_.wait_until(lock, until) == std::cv_status::timeout
                 && (free_.empty() || mustWait(part)) && !idleLane(false))
            return {};
    }
}

void BlockFeed::submit(std::int64_t part, std::span<std::byte> buffer, std::size_t count, bool takeHere)
{
    std::unique_lock lock(mutex_);
    const auto found = std::find_if(storage_.begin(), storage_.end(),
                                    [&](const auto& block) { return block.get() == buffer.data(); });
    const int index = static_cast<int>(found - storage_.begin());
    count = std::min(count, buffer.size());
    int holders = 0;
    Lane* here = nullptr;
    if (count > 0)
        for (Lane& lane : lanes_)
            if (lane.takes(part)) {
                std::deque<Item>& queue = lane.pending[part];
                queue.push_back({index, count});
                ++holders;
                if (takeHere && !here && !lane.busy && !lane.consumer->waitsLong() && lane.next == part
                    && queue.size() == 1)
                    here = &lane;
            }
    holds_[static_cast<std::size_t>(index)] = holders;
    if (holders == 0)
        release(index);
    // Nobody else need wake for the block this thread takes itself.
    if (holders != 1 || here == nullptr) {
        changed_.notify_all();
        work_.notify_one();
    }
    if (here != nullptr)
        workOn(*here, lock);
}

void BlockFeed::endPart(std::int64_t part)
{
    {
        const std::lock_guard lock(mutex_);
        for (Lane& lane : lanes_)
            if (lane.takes(part))
                lane.pending[part].push_back({-1, 0});
        endedAhead_.insert(part);
        while (endedAhead_.erase(firstOpen_) > 0)
            ++firstOpen_;
    }
    changed_.notify_all();
    work_.notify_one();
}

void BlockFeed::release(int buffer)
{
    owner_[static_cast<std::size_t>(buffer)] = -1;
    free_.push_back(buffer);
}

void BlockFeed::help(std::chrono::milliseconds wait)
{
    std::unique_lock lock(mutex_);
    if (failure_)
        std::rethrow_exception(failure_);
    if (Lane* lane = idleLane(false))
        workOn(*lane, lock);
    else
        changed_.wait_for(lock, wait);
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
    return std::all_of(lanes_.begin(), lanes_.end(), [](const Lane& l) { return l.idle(); });
}

BlockFeed::Lane* BlockFeed::idleLane(bool feedThread)
{
    Lane* best = nullptr;
    for (Lane& lane : lanes_) {
        if (lane.busy || lane.ready() == 0)
            continue;
        const bool onlyHere = lane.consumer->waitsLong();
        if (onlyHere && !feedThread)
            continue;
        // Only the feed's thread works a lane that waits long, so it goes first.
        if (!best || (onlyHere && !best->consumer->waitsLong())
            || (onlyHere == best->consumer->waitsLong() && lane.ready() > best->ready()))
            best = &lane;
    }
    return best;
}

void BlockFeed::workOn(Lane& lane, std::unique_lock<std::mutex>& lock)
{
    const std::int64_t part = lane.next;
    const auto queue = lane.pending.find(part);
    const Item item = queue->second.front();
    queue->second.pop_front();
    if (queue->second.empty())
        lane.pending.erase(queue);
    if (item.buffer < 0)
        lane.next += lane.of;
    lane.busy = true;
    const std::byte* data = item.buffer >= 0 ? storage_[static_cast<std::size_t>(item.buffer)].get() : nullptr;
    lock.unlock();

    std::exception_ptr failure;
    try {
        if (data != nullptr)
            lane.consumer->consume(lane.index, part, {data, item.count});
        else
            lane.consumer->endPart(lane.index, part);
    } catch (...) {
        failure = std::current_exception();
    }

    lock.lock();
    lane.busy = false;
    if (item.buffer >= 0 && --holds_[static_cast<std::size_t>(item.buffer)] == 0)
        release(item.buffer);
    if (failure && !failure_)
        failure_ = failure;
    changed_.notify_all();
    if (lane.ready() > 0)
        work_.notify_one();
}

void BlockFeed::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return quit_ || idleLane(true) != nullptr; });
        if (quit_)
            return;
        workOn(*idleLane(true), lock);
    }
}

} // namespace darvolt
