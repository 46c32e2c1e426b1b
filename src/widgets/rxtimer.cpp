#include "widgets/rxtimer.h"

#include "toolkit/synchronize.h"

#include <QTimerEvent>

#include <climits>

namespace darvolt {

using namespace messages;

namespace {

constexpr UINT TimerMessage = 0x0113;
constexpr WPARAM TimerId = 1;

} // namespace

// Window timer 1 of the hidden window: a timer of the GUI thread's event
// loop whose expiries reach the window as timer messages.
class WindowTimerSource : public QObject
{
public:
    explicit WindowTimerSource(HWND window) : m_window(window) {}
    ~WindowTimerSource() override { Kill(); }
    WindowTimerSource(const WindowTimerSource &) = delete;
    WindowTimerSource &operator=(const WindowTimerSource &) = delete;

    // False when no timer could be had.
    bool Start(std::uint32_t intervalMs)
    {
        Kill();
        // The event loop's timers reach at most INT_MAX ms; a longer one is
        // refused like any timer the system cannot give.
        if (intervalMs > std::uint32_t(INT_MAX))
            return false;
        m_id = startTimer(int(intervalMs));
        return m_id != 0;
    }

    void Kill()
    {
        if (m_id != 0)
            killTimer(m_id);
        m_id = 0;
    }

    bool Running() const { return m_id != 0; }

protected:
    void timerEvent(QTimerEvent *event) override
    {
        if (event->timerId() == m_id)
            SendMessage(m_window, TimerMessage, TimerId, 0);
    }

private:
    HWND m_window;
    int m_id = 0;
};

TRxTimer::TRxTimer(QObject *owner) : QObject(owner)
{
    InstallSynchronizer();
    m_worker = TTimerThread::Create(this);
}

TRxTimer::~TRxTimer()
{
    // A tick already on its way finds nothing to call.
    m_destroying = true;
    m_enabled = false;
    {
        const std::lock_guard lock(m_handlerMutex);
        m_onTimer = nullptr;
    }
    m_worker->ReleaseOwner();
    m_worker->Terminate();
    m_worker.reset();
    DestroyHiddenWindow();
}

void TRxTimer::setEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    m_worker->SetOwnerEnabled(value);
    ApplyTimerState();
}

void TRxTimer::setInterval(std::uint32_t value)
{
    if (value == m_interval)
        return;
    m_interval = value;
    ApplyTimerState();
}

void TRxTimer::setSyncEvent(bool value)
{
    m_syncEvent = value;
    m_worker->SetOwnerSyncEvent(value);
}

void TRxTimer::setThreaded(bool value)
{
    if (value == m_threaded)
        return;
    m_threaded = value;
    ApplyTimerState();
}

void TRxTimer::setThreadPriority(TThreadPriority value)
{
    if (value == m_threadPriority)
        return;
    m_threadPriority = value;
    if (m_threaded)
        ApplyTimerState();
}

TNotifyEvent TRxTimer::OnTimer() const
{
    const std::lock_guard lock(m_handlerMutex);
    return m_onTimer;
}

void TRxTimer::setOnTimer(TNotifyEvent handler)
{
    bool changed;
    {
        const std::lock_guard lock(m_handlerMutex);
        changed = bool(handler) != bool(m_onTimer);
        m_onTimer = std::move(handler);
    }
    if (changed)
        ApplyTimerState();
}

void TRxTimer::Tick()
{
    if (!m_enabled || m_destroying)
        return;
    // A copy: the handler may replace itself or destroy the timer.
    const TNotifyEvent handler = OnTimer();
    if (handler)
        handler(this);
}

bool TRxTimer::Active() const
{
    return m_interval != 0 && m_enabled && bool(OnTimer());
}

HWND TRxTimer::HiddenWindow() const
{
    return m_hiddenWindow ? m_hiddenWindow->Handle() : HWND{};
}

bool TRxTimer::WindowTimerRunning() const
{
    return m_windowTimer && m_windowTimer->Running();
}

void TRxTimer::ApplyTimerState()
{
    if (m_threaded)
        ApplyThreaded();
    else
        ApplyWindowTimer();
}

void TRxTimer::ApplyThreaded()
{
    DestroyHiddenWindow();
    if (m_worker->Finished()) {
        // A tick threw and ended the worker: carry on with a new one rather
        // than leave the timer dead.
        m_worker->ReleaseOwner();
        m_worker = TTimerThread::Create(this);
        m_worker->SetOwnerEnabled(m_enabled);
        m_worker->SetOwnerSyncEvent(m_syncEvent);
    }
    if (!m_worker->Suspended())
        m_worker->Suspend();
    m_worker->SetInterval(m_interval);
    if (Active()) {
        m_worker->SetPriority(m_threadPriority);
        while (m_worker->Suspended())
            m_worker->Resume();
    }
}

void TRxTimer::ApplyWindowTimer()
{
    if (!m_worker->Suspended())
        m_worker->Suspend();
    if (m_hiddenWindow) {
        m_windowTimer->Kill();
    } else {
        m_hiddenWindow = AllocateHWnd([this](HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
            return HiddenWindowProc(window, msg, wParam, lParam);
        });
        m_windowTimer = std::make_unique<WindowTimerSource>(m_hiddenWindow->Handle());
    }
    if (Active() && !m_windowTimer->Start(m_interval))
        throw EOutOfResources(NotEnoughTimersText);
}

void TRxTimer::DestroyHiddenWindow()
{
    m_windowTimer.reset();
    m_hiddenWindow.reset();
}

LRESULT TRxTimer::HiddenWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != TimerMessage)
        return DefWindowProc(window, msg, wParam, lParam);
    try {
        Tick();
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    return 0;
}

} // namespace darvolt
