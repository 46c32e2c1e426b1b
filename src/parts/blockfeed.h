#pragma once
// The one way a run's blocks reach everything that wants them.
//
// The run's thread reads each block into a buffer taken from here, uses it
// (writes a part or the joined file from it), and hands it back with the
// count of bytes that count. Every consumer's lane then takes the block in
// turn; the feed's own thread works whichever lane is free, and the run's
// thread, when it would otherwise wait for a buffer (its reading and
// writing are ahead of the consumers), works another lane instead of
// sleeping. So every byte is read once into the program, each consumer sees
// exactly the bytes that were kept, and the consumers' work is shared out
// over both cores as the copy leaves them idle. The run's thread never
// waits longer than it is told to, short enough to keep a window
// responsive. A consumer plugs in by being listed; the loop that reads does
// not change.

#include "parts/blockconsumer.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
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

    // A buffer of blockSize() bytes for the next block; while none is free,
    // the caller works a lane, or waits at most `wait`. Empty when none came
    // free.
    std::span<std::byte> acquire(std::chrono::milliseconds wait);
    // The first `count` bytes of an acquired buffer are the next bytes of
    // the current part (0 gives the buffer back unused).
    void submit(std::span<std::byte> buffer, std::size_t count);
    // The current part ends here; what follows starts the next one.
    void endPart();

    // True once every consumer has taken everything handed over, the caller
    // working or waiting at most `wait` meanwhile. Rethrows what a consumer
    // threw.
    bool finished(std::chrono::milliseconds wait);

private:
    struct Item {
        int buffer = -1; // index into storage_; -1: the end of a part
        std::size_t count = 0;
        std::int64_t part = 0;
    };
    struct Lane {
        BlockConsumer* consumer = nullptr;
        int index = 0;
        int of = 1; // the consumer's lane count
        std::deque<Item> pending;
        bool busy = false; // a thread is working it
        bool takes(std::int64_t part) const { return part % of == index; }
    };

    void loop();
    // A lane with work that no thread is doing, the longest queue first;
    // lanes that wait long only for the feed's own thread, and first there.
    Lane* idleLane(bool feedThread);
    // Works one item of the lane with the lock let go meanwhile.
    void workOn(Lane& lane, std::unique_lock<std::mutex>& lock);
    bool allDone() const;

    const std::size_t blockSize_;
    std::vector<std::unique_ptr<std::byte[]>> storage_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> free_;
    std::vector<int> holds_; // per buffer: lanes still to take it
    std::deque<Lane> lanes_;
    std::int64_t part_ = 0; // the part now being handed over
    bool quit_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace darvolt
