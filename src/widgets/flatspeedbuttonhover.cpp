#include "widgets/flatspeedbutton.h"

#include "widgets/hoverclock.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>

namespace darvolt {

namespace {

// Looks every 100 ms on the GUI thread's event loop.
class TimerHoverClock : public HoverClock
{
public:
    TimerHoverClock()
    {
        m_timer.setInterval(100);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            // The look may stop the clock, which must not free the look
            // while it runs.
            const std::function<void()> look = m_look;
            if (look)
                look();
        });
    }

    void Watch(TFlatSpeedButton *, std::function<void()> look) override
    {
        m_look = std::move(look);
        m_timer.start();
    }

    void Stop() override
    {
        m_timer.stop();
        m_look = nullptr;
    }

private:
    QTimer m_timer;
    std::function<void()> m_look;
};

// Hover tracking is shared by every button of the process: one clock, one
// button whose hover it watches, and the count of live buttons that decides
// when the default clock is made and freed. All of it lives on the GUI
// thread.
int liveButtons = 0;
TimerHoverClock *defaultClock = nullptr;
HoverClock *installedClock = nullptr;
TFlatSpeedButton *hoverOwner = nullptr;

HoverClock &hoverClock()
{
    return installedClock ? *installedClock : *defaultClock;
}

void releaseHoverClock()
{
    if (hoverOwner)
        hoverClock().Stop();
    hoverOwner = nullptr;
}

} // namespace

void SetHoverClock(HoverClock *clock)
{
    releaseHoverClock();
    installedClock = clock;
}

void TFlatSpeedButton::JoinHoverTracking()
{
    if (liveButtons++ == 0)
        defaultClock = new TimerHoverClock;
}

void TFlatSpeedButton::LeaveHoverTracking()
{
    ReleaseHoverWatch();
    if (--liveButtons == 0) {
        delete defaultClock;
        defaultClock = nullptr;
    }
}

void TFlatSpeedButton::WatchHover()
{
    hoverOwner = this;
    hoverClock().Watch(this, [this] { HoverCheck(); });
}

void TFlatSpeedButton::ReleaseHoverWatch()
{
    if (hoverOwner == this)
        releaseHoverClock();
}

bool TFlatSpeedButton::underPointer() const
{
    return QApplication::widgetAt(QCursor::pos()) == this;
}

void TFlatSpeedButton::HoverMove(QPoint global)
{
    if (hoverOwner == this || QApplication::widgetAt(global) != this)
        return;
    if (hoverOwner)
        hoverOwner->HoverLeave();
    if (QApplication::activeWindow()) {
        WatchHover();
        HoverEnter();
    }
}

void TFlatSpeedButton::HoverEnter()
{
    if (isEnabled() && !m_hot) {
        m_hot = true;
        repaint();
    }
}

void TFlatSpeedButton::HoverLeave()
{
    if (!isEnabled() || !m_hot || m_pressing)
        return;
    m_hot = false;
    ReleaseHoverWatch();
    update();
}

void TFlatSpeedButton::HoverCheck()
{
    if (!underPointer())
        HoverLeave();
}

void TFlatSpeedButton::UpdateHover()
{
    if (!isEnabled())
        return;
    if (underPointer()) {
        m_hot = true;
        // Whatever window is active (none, after a modal box closed with no
        // window manager to hand activation back), a hot face must end when
        // the pointer goes: the shared clock watches this button from now.
        if (hoverOwner != this) {
            if (hoverOwner)
                hoverOwner->HoverLeave();
            WatchHover();
        }
        repaint();
        return;
    }
    m_hot = false;
    ReleaseHoverWatch();
    update();
}

} // namespace darvolt
