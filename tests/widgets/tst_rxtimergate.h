#pragma once

#include "widgets/timerthread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A timer worker's clock that counts what the worker was told and how many
// sleeps it began, and sleeps for real.
class CountingClock : public darvolt::TimerThreadClock
{
public:
    // Installs a clock on the worker. The clock lives as long as the worker
    // may use it.
    static std::shared_ptr<CountingClock> On(darvolt::TTimerThread &worker)
    {
        auto clock = std::make_shared<CountingClock>();
        worker.SetClock(clock);
        return clock;
    }

    void Suspending() override { ++m_suspends; }
    void Resuming() override { ++m_resumes; }
    void Sleep(std::uint32_t interval, const std::function<void()> &sleep) override
    {
        ++m_sleeps;
        Pass(interval, sleep);
    }

    int Suspends() const { return m_suspends; }
    int Resumes() const { return m_resumes; }
    int Sleeps() const { return m_sleeps; }

protected:
    // The sleep itself.
    virtual void Pass(std::uint32_t, const std::function<void()> &sleep) { sleep(); }

private:
    std::atomic<int> m_suspends{0};
    std::atomic<int> m_resumes{0};
    std::atomic<int> m_sleeps{0};
};

// Stands in for a timer worker's sleep, so that a test decides when each
// sleep ends: the worker records the interval it was going to sleep and
// waits until the test hands out a pass.
class TickGate : public CountingClock
{
public:
    // Installs a gate as the worker's clock. The gate lives as long as the
    // worker may use it.
    static std::shared_ptr<TickGate> On(darvolt::TTimerThread &worker)
    {
        auto gate = std::make_shared<TickGate>();
        worker.SetClock(gate);
        return gate;
    }

    // Lets `count` sleeps end.
    void Release(int count = 1)
    {
        const std::lock_guard lock(m_mutex);
        m_permits += count;
        m_changed.notify_all();
    }

    // Every sleep ends at once from now on (for the end of a test, so that
    // no worker stays blocked in it).
    void Open()
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

    // How many workers are inside a sleep now.
    int Sleeping() const
    {
        const std::lock_guard lock(m_mutex);
        return m_sleeping;
    }

    std::vector<std::uint32_t> Intervals() const
    {
        const std::lock_guard lock(m_mutex);
        return m_intervals;
    }

private:
    void Pass(std::uint32_t interval, const std::function<void()> &) override
    {
        std::unique_lock lock(m_mutex);
        m_intervals.push_back(interval);
        ++m_sleeping;
        m_changed.wait(lock, [this] { return m_open || m_permits > 0; });
        if (!m_open)
            --m_permits;
        --m_sleeping;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uint32_t> m_intervals;
    int m_permits = 0;
    int m_sleeping = 0;
    bool m_open = false;
};

// Waits, without running the event loop, until the condition holds; false
// after five seconds. For states a worker reaches on its own while the GUI
// thread must not deliver anything.
template <typename Condition>
bool WaitWithoutEvents(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}
