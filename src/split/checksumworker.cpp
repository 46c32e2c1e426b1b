#include "split/checksumworker.h"

#include <algorithm>
#include <utility>

namespace darvolt {

ChecksumWorker::ChecksumWorker(std::size_t blockSize, bool hashWhole, std::size_t buffers)
    : blockSize_(blockSize), hashWhole_(hashWhole)
{
    for (std::size_t i = 0; i < std::max<std::size_t>(buffers, 1); ++i) {
        storage_.push_back(std::make_unique_for_overwrite<std::byte[]>(blockSize_));
        free_.push_back(storage_.back().get());
    }
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
    std::unique_lock lock(mutex_);
    if (free_.empty())
        changed_.wait_for(lock, wait, [this] { return !free_.empty(); });
    if (free_.empty())
        return {};
    std::byte* buffer = free_.back();
    free_.pop_back();
    return {buffer, blockSize_};
}

void ChecksumWorker::submit(std::span<std::byte> buffer, std::size_t count)
{
    {
        const std::lock_guard lock(mutex_);
        if (count == 0)
            free_.push_back(buffer.data());
        else
            queue_.push_back({buffer.data(), std::min(count, buffer.size())});
    }
    changed_.notify_all();
}

void ChecksumWorker::endPart()
{
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back({});
    }
    changed_.notify_all();
}

bool ChecksumWorker::finished(std::chrono::milliseconds wait)
{
    std::unique_lock lock(mutex_);
    auto done = [this] { return failure_ || (queue_.empty() && !busy_); };
    if (!done())
        changed_.wait_for(lock, wait, done);
    if (failure_)
        std::rethrow_exception(failure_);
    return done();
}

std::vector<Sha256Digest> ChecksumWorker::takeReadyDigests()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(ready_, {});
}

Sha256Digest ChecksumWorker::wholeDigest()
{
    return whole_.finish();
}

void ChecksumWorker::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_)
            return;
        const Item item = queue_.front();
        queue_.pop_front();
        busy_ = true;
        lock.unlock();

        std::exception_ptr failure;
        Sha256Digest digest{};
        try {
            if (item.data != nullptr) {
                const std::span<const std::byte> bytes(item.data, item.count);
                part_.update(bytes);
                if (hashWhole_)
                    whole_.update(bytes);
            } else {
                digest = part_.finish();
            }
        } catch (...) {
            failure = std::current_exception();
        }

        lock.lock();
        busy_ = false;
        if (item.data != nullptr)
            free_.push_back(item.data);
        else if (!failure)
            ready_.push_back(digest);
        if (failure && !failure_)
            failure_ = failure;
        changed_.notify_all();
    }
}

} // namespace darvolt
