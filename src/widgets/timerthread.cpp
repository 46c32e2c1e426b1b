#include "widgets/timerthread.h"

#include "widgets/rxtimer.h"
#include "toolkit/synchronize.h"
#include "toolkit/wndproc.h"

#include <QtGlobal>

#include <chrono>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace darvolt {

namespace {

constexpr int PriorityLevels[] = {-15, -2, -1, 0, 1, 2, 15};
constexpr int PriorityNices[] = {19, 10, 5, 0, -5, -10, -20};

// Sets the calling thread's priority; false when the system refuses.
bool SetOwnPriority(TThreadPriority priority)
{
#if defined(Q_OS_LINUX)
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), ThreadPriorityNice(priority)) == 0;
#else
    Q_UNUSED(priority);
    return false;
#endif
}

// Clears a flag however the scope is left.
class FlagScope
{
public:
    explicit FlagScope(std::atomic<bool> &flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    std::atomic<bool> &m_flag;
};

} // namespace

int ThreadPriorityLevel(TThreadPriority priority)
{
    return PriorityLevels[priority];
}

int ThreadPriorityNice(TThreadPriority priority)
{
    return PriorityNices[priority];
}

TTimerThread::TTimerThread(TRxTimer *owner) : m_owner(owner) {}

TTimerThread::~TTimerThread() = default;

std::shared_ptr<TTimerThread> TTimerThread::Create(TRxTimer *owner)
{
    std::shared_ptr<TTimerThread> worker(new TTimerThread(owner));
    std::thread thread([worker] { Run(worker); });
    {
        const std::lock_guard lock(worker->m_mutex);
        worker->m_threadId = thread.get_id();
    }
    thread.detach();
    return worker;
}

void TTimerThread::Run(const std::shared_ptr<TTimerThread> &self)
{
    std::exception_ptr fatal;
    try {
        self->Execute();
    } catch (...) {
        fatal = std::current_exception();
    }
    {
        const std::lock_guard lock(self->m_mutex);
        self->m_fatal = fatal;
        self->m_finished = true;
    }
    // The body does not handle what a tick threw; the thread ends, and the
    // user is told instead of the animation stopping without a word.
    if (fatal)
        Synchronize([fatal] { HandleApplicationException(fatal); });
}

void TTimerThread::Execute()
{
    while (PausePoint()) {
        if (Closed()) {
            WaitForTermination();
            break;
        }
        Sleep();
        if (!PausePoint())
            break;
        if (Closed()) {
            WaitForTermination();
            break;
        }
        if (!m_ownerEnabled)
            continue;
        if (m_ownerSyncEvent) {
            const FlagScope waiting(m_waitingForTick);
            const std::shared_ptr<TTimerThread> self = shared_from_this();
            Synchronize([self] { self->SyncTick(); });
        } else {
            WorkerTick();
        }
    }
}

bool TTimerThread::Closed() const
{
    // The terminated flag comes first: a terminated worker must not look at
    // its owner again.
    return Terminated() || ApplicationTerminating() || m_owner.load() == nullptr;
}

bool TTimerThread::PausePoint()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return !m_suspended || m_terminated; });
    if (m_terminated)
        return false;
    const bool changed = m_priority != m_attemptedPriority;
    lock.unlock();
    if (changed)
        ApplyPriority();
    return true;
}

void TTimerThread::ApplyPriority()
{
    TThreadPriority wanted;
    {
        const std::lock_guard lock(m_mutex);
        wanted = m_priority;
        m_attemptedPriority = wanted;
    }
    if (!SetOwnPriority(wanted))
        return;
    const std::lock_guard lock(m_mutex);
    m_appliedPriority = wanted;
}

// A closed worker that is not yet terminated (the application is quitting)
// has nothing left to do but wait for the end; going round the loop would
// only burn the processor.
void TTimerThread::WaitForTermination()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_terminated; });
}

void TTimerThread::Sleep()
{
    std::uint32_t interval;
    {
        const std::lock_guard lock(m_mutex);
        interval = m_interval;
    }
    Clock()->Sleep(interval, [this, interval] { SleepFor(interval); });
}

void TTimerThread::SleepFor(std::uint32_t intervalMs)
{
    // A change of interval does not restart a sleep that is under way; only
    // termination cuts it short.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(intervalMs);
    std::unique_lock lock(m_mutex);
    m_wake.wait_until(lock, deadline, [this] { return m_terminated; });
}

std::shared_ptr<TimerThreadClock> TTimerThread::Clock() const
{
    const std::lock_guard lock(m_mutex);
    return m_clock;
}

void TTimerThread::SyncTick()
{
    if (Terminated())
        return;
    if (TRxTimer *owner = m_owner.load())
        owner->Tick();
}

void TTimerThread::WorkerTick()
{
    const std::lock_guard lock(m_tickMutex);
    if (TRxTimer *owner = m_owner.load())
        owner->Tick();
}

void TTimerThread::Suspend()
{
    Clock()->Suspending();
    const std::lock_guard lock(m_mutex);
    m_suspended = true;
}

void TTimerThread::Resume()
{
    Clock()->Resuming();
    const std::lock_guard lock(m_mutex);
    m_suspended = false;
    m_wake.notify_all();
}

bool TTimerThread::Suspended() const
{
    const std::lock_guard lock(m_mutex);
    return m_suspended;
}

void TTimerThread::Terminate()
{
    const std::lock_guard lock(m_mutex);
    m_terminated = true;
    m_suspended = false;
    m_wake.notify_all();
}

bool TTimerThread::Terminated() const
{
    const std::lock_guard lock(m_mutex);
    return m_terminated;
}

void TTimerThread::ReleaseOwner()
{
    m_ownerEnabled = false;
    const std::lock_guard lock(m_tickMutex);
    m_owner = nullptr;
}

std::uint32_t TTimerThread::Interval() const
{
    const std::lock_guard lock(m_mutex);
    return m_interval;
}

void TTimerThread::SetInterval(std::uint32_t intervalMs)
{
    const std::lock_guard lock(m_mutex);
    m_interval = intervalMs;
}

TThreadPriority TTimerThread::Priority() const
{
    const std::lock_guard lock(m_mutex);
    return m_priority;
}

void TTimerThread::SetPriority(TThreadPriority priority)
{
    const std::lock_guard lock(m_mutex);
    m_priority = priority;
}

int TTimerThread::AppliedPriority() const
{
    const std::lock_guard lock(m_mutex);
    return m_appliedPriority;
}

void TTimerThread::SetClock(std::shared_ptr<TimerThreadClock> clock)
{
    if (!clock)
        clock = std::make_shared<TimerThreadClock>();
    const std::lock_guard lock(m_mutex);
    m_clock = std::move(clock);
}

bool TTimerThread::Finished() const
{
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

std::exception_ptr TTimerThread::FatalException() const
{
    const std::lock_guard lock(m_mutex);
    return m_fatal;
}

std::thread::id TTimerThread::ThreadId() const
{
    const std::lock_guard lock(m_mutex);
    return m_threadId;
}

} // namespace darvolt
