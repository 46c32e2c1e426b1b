#include "parts/jobthread.h"

#include <utility>

namespace darvolt {

JobThread::JobThread() : thread_([this] { loop(); }) {}

JobThread::~JobThread()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void JobThread::start(std::function<void()> job)
{
    busy_ = true;
    {
        const std::lock_guard lock(mutex_);
        job_ = std::move(job);
        done_ = false;
    }
    changed_.notify_all();
}

bool JobThread::collect(std::chrono::milliseconds wait)
{
    std::unique_lock lock(mutex_);
    if (!done_ && wait.count() > 0)
        changed_.wait_for(lock, wait, [this] { return done_; });
    if (!done_)
        return false;
    done_ = false;
    busy_ = false;
    if (failure_)
        std::rethrow_exception(std::exchange(failure_, nullptr));
    return true;
}

void JobThread::loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        // A job handed over is done even when the owner is going: it holds
        // what it must close.
        changed_.wait(lock, [this] { return quit_ || job_; });
        if (!job_)
            return;
        std::function<void()> job = std::exchange(job_, nullptr);
        lock.unlock();
        std::exception_ptr failure;
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        failure_ = failure;
        done_ = true;
        changed_.notify_all();
        lock.unlock();
        job = nullptr;
        lock.lock();
    }
}

} // namespace darvolt
