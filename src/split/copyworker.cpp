#include "split/copyworker.h"

namespace darvolt {

CopyWorker::CopyWorker(File& source, const PartCopySettings& settings, SharedCopyState& shared)
    : source_(source), settings_(settings), shared_(shared), thread_([this] { loop(); })
{
}

CopyWorker::~CopyWorker()
{
    shared_.abandon();
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void CopyWorker::start(const PartJob& job, std::unique_ptr<File> part)
{
    busy_ = true;
    bytes_.store(0, std::memory_order_relaxed);
    {
        const std::lock_guard lock(mutex_);
        job_ = job;
        part_ = std::move(part);
    }
    changed_.notify_all();
}

std::optional<CopyWorker::Finished> CopyWorker::collect(std::chrono::milliseconds wait)
{
    std::unique_lock lock(mutex_);
    if (!finished_ && wait.count() > 0)
        changed_.wait_for(lock, wait, [this] { return finished_.has_value(); });
    if (!finished_)
        return std::nullopt;
    std::optional<Finished> done = std::move(finished_);
    finished_.reset();
    busy_ = false;
    return done;
}

void CopyWorker::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || job_.has_value(); });
        if (quit_)
            return; // a part handed over but not begun closes with part_
        const PartJob job = *job_;
        job_.reset();
        const std::unique_ptr<File> part = std::move(part_);
        lock.unlock();

        Finished done;
        done.index = job.index;
        try {
            done.result = CopyAndClosePart(source_, job, *part, settings_, buffer_, shared_, bytes_, {});
        } catch (...) {
            done.exception = std::current_exception();
        }

        lock.lock();
        finished_ = std::move(done);
        lock.unlock();
        changed_.notify_all();
        lock.lock();
    }
}

} // namespace darvolt
