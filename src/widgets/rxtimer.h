#pragma once

#include "widgets/timerthread.h"
#include "toolkit/wndproc.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace darvolt {

class WindowTimerSource;

// A notification handler: receives the object that sends it.
using TNotifyEvent = std::function<void(QObject *Sender)>;

// Raised when the system has no timer to give.
class EOutOfResources : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char *NotEnoughTimersText = "Not enough timers available";

// Calls OnTimer every Interval milliseconds while Enabled, with a handler
// assigned and a non-zero Interval ("active").
//
// Threaded (the default), a worker thread (TTimerThread) sleeps for the
// interval and hands each tick to the GUI thread, waiting until the handler
// has run, so ticks never overlap and the time between them is the interval
// plus the handler's time. With SyncEvent off the handler runs on the
// worker instead. Not threaded, the timer uses an ordinary window timer of
// the GUI thread's event loop.
//
// The timer belongs to the GUI thread: set its properties there, also from
// inside OnTimer (an interval set there counts from the next sleep on).
// Destroying it returns at once; a tick already on its way is dropped.
class TRxTimer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(uint Interval READ Interval WRITE setInterval)
    Q_PROPERTY(bool SyncEvent READ SyncEvent WRITE setSyncEvent)
    Q_PROPERTY(bool Threaded READ Threaded WRITE setThreaded)
    Q_PROPERTY(ThreadTypes::TThreadPriority ThreadPriority READ ThreadPriority WRITE setThreadPriority)

public:
    explicit TRxTimer(QObject *owner = nullptr);
    ~TRxTimer() override;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool value);
    std::uint32_t Interval() const { return m_interval; }
    void setInterval(std::uint32_t value);
    bool SyncEvent() const { return m_syncEvent; }
    void setSyncEvent(bool value);
    bool Threaded() const { return m_threaded; }
    void setThreaded(bool value);
    TThreadPriority ThreadPriority() const { return m_threadPriority; }
    void setThreadPriority(TThreadPriority value);

    TNotifyEvent OnTimer() const;
    void setOnTimer(TNotifyEvent handler);

    // The tick: OnTimer(this) when Enabled, not being destroyed and a
    // handler is assigned.
    virtual void Tick();

    // Whether ticks are wanted now.
    bool Active() const;

    // For tests and diagnostics: the worker (always there, suspended when
    // not ticking threaded) and the hidden window of window-timer mode.
    const std::shared_ptr<TTimerThread> &Worker() const { return m_worker; }
    messages::HWND HiddenWindow() const;
    bool WindowTimerRunning() const;

private:
    void ApplyTimerState();
    void ApplyThreaded();
    void ApplyWindowTimer();
    void DestroyHiddenWindow();
    messages::LRESULT HiddenWindowProc(messages::HWND window, messages::UINT msg, messages::WPARAM wParam,
                                       messages::LPARAM lParam);

    std::atomic<bool> m_enabled{true};
    std::uint32_t m_interval = 1000;
    std::atomic<bool> m_syncEvent{true};
    bool m_threaded = true;
    TThreadPriority m_threadPriority = tpNormal;
    std::atomic<bool> m_destroying{false};

    mutable std::recursive_mutex m_handlerMutex; // OnTimer may be read by the worker
    TNotifyEvent m_onTimer;

    std::shared_ptr<TTimerThread> m_worker;
    std::unique_ptr<messages::TWindowHandle> m_hiddenWindow;
    std::unique_ptr<WindowTimerSource> m_windowTimer;
};

} // namespace darvolt
