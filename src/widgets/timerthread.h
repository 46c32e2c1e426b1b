#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace darvolt {

class TRxTimer;

namespace ThreadTypes {
Q_NAMESPACE

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
Q_ENUM_NS(TThreadPriority)

} // namespace ThreadTypes

using ThreadTypes::TThreadPriority;
using enum ThreadTypes::TThreadPriority;

// The thread priority level each value stands for: -15, -2, -1, 0, 1, 2, 15.
int ThreadPriorityLevel(TThreadPriority priority);

// The nice value a worker takes for it on Linux. Lowering a thread's
// priority is always allowed; raising it needs privileges most users lack,
// so there the request is kept but has no effect.
int ThreadPriorityNice(TThreadPriority priority);

// What a timer worker leaves to whoever runs it: how it sleeps between ticks,
// and word of every Suspend and Resume. The default sleeps for real and
// tells no one; tests put in their own to hand out ticks one at a time and
// to count.
class TimerThreadClock
{
public:
    virtual ~TimerThreadClock() = default;

    // On the GUI thread, at every call of Suspend and of Resume.
    virtual void Suspending() {}
    virtual void Resuming() {}

    // On the worker, for each sleep: `sleep` is the real one, for
    // `intervalMs`, which only termination cuts short.
    virtual void Sleep([[maybe_unused]] std::uint32_t intervalMs, const std::function<void()> &sleep)
    {
        sleep();
    }
};

// The worker of a threaded TRxTimer. It sleeps for its interval, then hands
// the tick to its owner, on the GUI thread (waiting until the tick is done)
// or on itself, and starts over, until it is terminated.
//
// Threads cannot be frozen from outside here, so "suspended" is a flag the
// worker looks at in two places: before it goes to sleep and after it wakes.
// A worker suspended there waits until it is resumed or terminated; one
// suspended in the middle of its sleep finishes the sleep and then waits.
// That keeps the order a tick follows: sleep, test for closed, test Enabled,
// tick.
//
// The object belongs to the thread as much as to the timer (both hold it),
// so a worker that ends after its timer has gone frees it itself, and a
// timer never waits for its worker. Everything here except the thread body
// is called on the GUI thread.
class TTimerThread : public std::enable_shared_from_this<TTimerThread>
{
public:
    // Starts the worker of `owner`, suspended, with an interval of 1000 ms.
    // Raises std::system_error when the system cannot start a thread.
    static std::shared_ptr<TTimerThread> Create(TRxTimer *owner);
    ~TTimerThread();
    TTimerThread(const TTimerThread &) = delete;
    TTimerThread &operator=(const TTimerThread &) = delete;

    void Suspend();
    void Resume();
    bool Suspended() const;

    // Asks the worker to end; it does so at its next look at its flags (a
    // sleep is cut short) and never touches its timer again.
    void Terminate();
    bool Terminated() const;

    // The owner is going away: no tick reaches it from now on. Waits only for
    // a tick that is running on the worker at this moment (SyncEvent off).
    void ReleaseOwner();

    std::uint32_t Interval() const;
    void SetInterval(std::uint32_t intervalMs);
    // The priority asked for; the worker applies it when it next runs.
    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority priority);
    // The priority the system has granted, or -1 before any was granted.
    int AppliedPriority() const;

    // Copies of the owner's Enabled and SyncEvent, which the worker reads
    // instead of the owner's fields.
    void SetOwnerEnabled(bool enabled) { m_ownerEnabled = enabled; }
    void SetOwnerSyncEvent(bool sync) { m_ownerSyncEvent = sync; }

    // The clock the worker sleeps by from its next sleep on; null brings
    // back the default.
    void SetClock(std::shared_ptr<TimerThreadClock> clock);

    // --- what the worker is doing, for the timer and for tests -------------
    // The body has ended (terminated, or ended by an exception).
    bool Finished() const;
    // The exception that ended the body, if any.
    std::exception_ptr FatalException() const;
    // True while the worker waits for a tick it handed to the GUI thread.
    bool WaitingForTick() const { return m_waitingForTick; }
    std::thread::id ThreadId() const;

private:
    explicit TTimerThread(TRxTimer *owner);

    static void Run(const std::shared_ptr<TTimerThread> &self);
    void Execute();
    bool Closed() const;
    bool PausePoint();
    void WaitForTermination();
    void Sleep();
    void SleepFor(std::uint32_t intervalMs);
    std::shared_ptr<TimerThreadClock> Clock() const;
    void SyncTick();
    void WorkerTick();
    void ApplyPriority();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_suspended = true;
    bool m_terminated = false;
    bool m_finished = false;
    std::uint32_t m_interval = 1000;
    TThreadPriority m_priority = tpNormal;
    int m_appliedPriority = -1;
    int m_attemptedPriority = -1; // asked of the system once per change
    std::shared_ptr<TimerThreadClock> m_clock = std::make_shared<TimerThreadClock>();
    std::exception_ptr m_fatal;
    std::thread::id m_threadId;

    // Guards the owner for ticks that run on the worker.
    std::recursive_mutex m_tickMutex;
    std::atomic<TRxTimer *> m_owner;
    std::atomic<bool> m_ownerEnabled{true};
    std::atomic<bool> m_ownerSyncEvent{true};
    std::atomic<bool> m_waitingForTick{false};
};

} // namespace darvolt
