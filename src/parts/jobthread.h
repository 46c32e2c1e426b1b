#pragma once
// A second thread that does one job at a time for a run's thread: the run
// hands a job over (start), goes on with its own work, and takes the job
// back once it is done (collect), with whatever escaped it raised on the
// run's thread. Destroying it waits for the job in hand; a job must
// therefore stop soon when the run no longer wants it.

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace darvolt {

class JobThread {
public:
    JobThread();
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // True from start() until collect() has seen the job done.
    bool busy() const { return busy_; }
    // What the job holds (its captures) is let go on the thread once the
    // job is seen done, without holding up the run's thread.
    void start(std::function<void()> job);
    // True once the job is done, waiting at most `wait` for it.
    bool collect(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

private:
    void loop();

    bool busy_ = false; // the run's thread only
    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool done_ = false;
    std::exception_ptr failure_;
    bool quit_ = false;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace darvolt
