#pragma once
// The thread that hashes what a run copies, while it copies.
//
// The run's thread reads each block of the source into a buffer taken from
// here, writes it into the part, and hands the bytes the part took back
// here; this thread then adds them to the digest of the current part and to
// the digest of everything, and frees the buffer for another block. So
// every byte is read once, the hashes are of exactly what went into the
// parts, and hashing overlaps reading and writing on the second core. A few
// buffers are in flight at most; when all are taken the run's thread waits
// here, in slices short enough to keep a window responsive.
//
// A join uses the same thread to hash the parts it reads; it needs no digest
// of the whole (the parts' digests say it all) unless it only checks.

#include "split/sha256.h"

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
    // between the read, the write and the two hashes; a megabyte per block
    // costs half as much again in copying (measured on the two-core
    // build machine).
    static constexpr std::size_t CacheBlock = std::size_t{256} << 10;

    ChecksumWorker(std::size_t blockSize, bool hashWhole, std::size_t buffers = 8);
    ~ChecksumWorker();
    ChecksumWorker(const ChecksumWorker&) = delete;
    ChecksumWorker& operator=(const ChecksumWorker&) = delete;

    std::size_t blockSize() const { return blockSize_; }

    // A buffer of blockSize() bytes for the next block, waiting at most
    // `wait` for one to come free; empty when none did.
    std::span<std::byte> acquire(std::chrono::milliseconds wait);
    // The first `count` bytes of an acquired buffer are the next bytes of
    // the current part (0 gives the buffer back unused).
    void submit(std::span<std::byte> buffer, std::size_t count);
    // The current part ends here; what follows starts the next one.
    void endPart();

    // True once everything handed over is hashed, waiting at most `wait`.
    // Rethrows what went wrong on the worker's thread.
    bool finished(std::chrono::milliseconds wait);
    // The digests of the parts ended so far that are ready, in part order,
    // each handed out once.
    std::vector<Sha256Digest> takeReadyDigests();
    // After finished(): the digest of all bytes handed over.
    Sha256Digest wholeDigest();

private:
    struct Item {
        std::byte* data = nullptr; // null: the end of a part
        std::size_t count = 0;
    };

    void loop();

    const std::size_t blockSize_;
    const bool hashWhole_;
    std::vector<std::unique_ptr<std::byte[]>> storage_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::byte*> free_;
    std::deque<Item> queue_;
    bool busy_ = false; // the worker holds an item
    bool quit_ = false;
    std::vector<Sha256Digest> ready_;
    std::exception_ptr failure_;

    Sha256 part_;  // the worker's
    Sha256 whole_; // the worker's until finished()
    std::thread thread_; // last: starts once everything above exists
};

} // namespace darvolt
