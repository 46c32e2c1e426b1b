#pragma once
// The one way a run's blocks reach everything that wants them.
//
// A run's thread reads each block into a buffer taken from here, uses it
// (writes a part or the joined file from it), and hands it back with the
// number of its part and the count of bytes that count. Every consumer's
// lane then takes the block in turn, each lane its parts in part order;
// the feed's own thread works whichever lane is free, and a run's thread,
// when it would otherwise wait for a buffer (its reading and writing are
// ahead of the consumers), works another lane instead of sleeping. So
// every byte is read once into the program, each consumer sees exactly the
// bytes that were kept, and the consumers' work is shared out over both
// cores as the copy leaves them idle. A consumer plugs in by being listed;
// the loops that read do not change.
//
// Parts are numbered from 0, and each is ended once its last block is in.
// Two threads may hand over blocks of two parts at once: a consumer of one
// lane still sees the earlier part whole before the later one, and the
// later part may hold only half of the buffers, so the earlier one always
// finds one. A part may be handed over again from its start only when it
// gave no bytes (a consumer cannot take bytes back).

#include "parts/blockconsumer.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <thread>
#include <vector>

namespace darvolt {

class BlockFeed {
public:
    // Blocks of this size, eight in flight, stay in the processor's caches
    // from the read to the last consumer.
    static constexpr std::size_t CacheBlock = std::size_t{256} << 10;

    // The consumers must outlive the feed.
    BlockFeed(std::size_t blockSize, std::vector<BlockConsumer*> consumers, std::size_t buffers = 8);
    ~BlockFeed();
    BlockFeed(const BlockFeed&) = delete;
    BlockFeed& operator=(const BlockFeed&) = delete;

    std::size_t blockSize() const { return blockSize_; }

    // A buffer of blockSize() bytes for the next block of `part`; while
    // none may be had, the caller works a lane, or waits at most `wait`.
    // Empty when none came free.
    std::span<std::byte> acquire(std::int64_t part, std::chrono::milliseconds wait);
    // The first `count` bytes of a buffer acquired for `part` are its next
    // bytes (0 gives the buffer back unused). With `takeHere`, the caller
    // works the first lane that is free to take the block at once, while it
    // is still in the caller's cache: for runs whose every thread copies,
    // where leaving the block to another core costs more than it gains.
    void submit(std::int64_t part, std::span<std::byte> buffer, std::size_t count, bool takeHere = false);
    // `part` has no more bytes.
    void endPart(std::int64_t part);

    // Works one block of a lane, or waits at most `wait` for a change (a
    // block handed over or taken). Rethrows what a consumer threw.
    void help(std::chrono::milliseconds wait);

    // True once every consumer has taken everything handed over, the caller
    // working or waiting at most `wait` meanwhile. Rethrows what a consumer
    // threw.
    bool finished(std::chrono::milliseconds wait);

private:
    struct Item {
        int buffer = -1; // index into storage_; -1: the end of the part
        std::size_t count = 0;
    };
    struct Lane {
        BlockConsumer* consumer = nullptr;
        int index = 0;
        int of = 1; // the consumer's lane count
        std::int64_t next = 0; // the part it takes now
        std::map<std::int64_t, std::deque<Item>> pending; // by part
        bool busy = false; // a thread is working it
        bool takes(std::int64_t part) const { return part % of == index; }
        // Items of the part it takes now, the only ones it may work.
        std::size_t ready() const;
        bool idle() const { return !busy && pending.empty(); }
    };

    void loop();
    // A lane with work that no thread is doing, the longest queue first;
    // lanes that wait long only for the feed's own thread, and first there.
    Lane* idleLane(bool feedThread);
    // Works one item of the lane with the lock let go meanwhile.
    void workOn(Lane& lane, std::unique_lock<std::mutex>& lock);
    bool allDone() const;
    // A part after the first open one holds half of the buffers already.
    bool mustWait(std::int64_t part) const;
    void release(int buffer);

    const std::size_t blockSize_;
    std::vector<std::unique_ptr<std::byte[]>> storage_;

    std::mutex mutex_;
    std::condition_variable changed_; // a block handed over or taken, a buffer free
    std::condition_variable work_;    // the feed's thread: a lane has work
    std::vector<int> free_;
    std::vector<int> holds_; // per buffer: lanes still to take it
    std::vector<std::int64_t> owner_; // per buffer: the part it was acquired for, -1 when free
    std::deque<Lane> lanes_;
    std::int64_t firstOpen_ = 0;     // the first part not ended
    std::set<std::int64_t> endedAhead_; // parts ended before an earlier one
    bool quit_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace darvolt
