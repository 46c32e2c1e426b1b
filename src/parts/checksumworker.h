#pragma once
// The thread that hashes what a run copies, while it copies.
//
// The run's thread reads each block of the source into a buffer taken from
// here, writes the part from it, and hands the bytes the part took back
// here. They are then added, in order, to the digest of the current part
// and to the digest of everything: two lanes of work, each of which only
// one thread advances at a time. This thread works whichever lane is free; the run's thread, when
// it would otherwise wait for a buffer (its reading and copying are ahead of
// the hashing), works the other lane instead of sleeping. So every byte is
// read once into the program, the digests are of exactly the bytes the
// parts took, and the hashing is shared out over both cores as the copy
// leaves them idle. The run's thread never waits longer than it is told to,
// short enough to keep a window responsive.
//
// A join uses the same lanes for the parts it reads; it needs no digest of
// the whole (the parts' digests say it all) unless it only checks.

#include "parts/sha256.h"

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

class ChecksumWorker {
public:
    // Blocks of this size, eight in flight, stay in the processor's caches
    // from the read to the second hash.
    static constexpr std::size_t CacheBlock = std::size_t{256} << 10;

    ChecksumWorker(std::size_t blockSize, bool hashWhole, std::size_t buffers = 8);
    ~ChecksumWorker();
    ChecksumWorker(const ChecksumWorker&) = delete;
    ChecksumWorker& operator=(const ChecksumWorker&) = delete;

    std::size_t blockSize() const { return blockSize_; }

    // A buffer of blockSize() bytes for the next block; while none is free,
    // the caller hashes, or waits at most `wait`. Empty when none came free.
    std::span<std::byte> acquire(std::chrono::milliseconds wait);
    // The first `count` bytes of an acquired buffer are the next bytes of
    // the current part (0 gives the buffer back unused).
    void submit(std::span<std::byte> buffer, std::size_t count);
    // The current part ends here; what follows starts the next one.
    void endPart();

    // True once everything handed over is hashed, the caller hashing or
    // waiting at most `wait` meanwhile. Rethrows what went wrong in hashing.
    bool finished(std::chrono::milliseconds wait);
    // The digests of the parts ended so far that are ready, in part order,
    // each handed out once.
    std::vector<Sha256Digest> takeReadyDigests();
    // After finished(): the digest of all bytes handed over.
    Sha256Digest wholeDigest();

private:
    struct Item {
        int buffer = -1; // index into storage_; -1: the end of a part
        std::size_t count = 0;
    };
    struct Lane {
        Sha256 hash;
        std::deque<Item> pending;
        bool busy = false; // a thread is working it
        std::vector<Sha256Digest>* digests = nullptr; // where a part's end leaves its digest
    };

    void loop();
    // A lane with work that no thread is doing, the longer queue first.
    Lane* idleLane();
    // Works one item of the lane with the lock let go meanwhile.
    void workOn(Lane& lane, std::unique_lock<std::mutex>& lock);
    bool allHashed() const;

    const std::size_t blockSize_;
    const bool hashWhole_;
    std::vector<std::unique_ptr<std::byte[]>> storage_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> free_;
    std::vector<int> holds_; // per buffer: lanes still to hash it
    std::vector<Sha256Digest> ready_;
    Lane parts_;
    Lane whole_;
    bool quit_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace darvolt
