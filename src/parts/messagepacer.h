#pragma once
// Keeps the window responsive during a run: the view's pending messages are
// processed before every part and then whenever the time budget since the
// last time has run out.

#include <chrono>
#include <functional>
#include <utility>

namespace darvolt {

class MessagePacer {
public:
    using Clock = std::chrono::steady_clock;

    // pump runs the view's pending messages.
    MessagePacer(std::function<void()> pump, std::function<Clock::time_point()> clock,
                 std::chrono::milliseconds interval)
        : pump_(std::move(pump)), clock_(std::move(clock)), interval_(interval)
    {
    }

    std::chrono::milliseconds interval() const { return interval_; }

    void pumpNow()
    {
        pump_();
        last_ = clock_();
    }

    void pace()
    {
        if (clock_() - last_ >= interval_)
            pumpNow();
    }

private:
    std::function<void()> pump_;
    std::function<Clock::time_point()> clock_;
    std::chrono::milliseconds interval_;
    Clock::time_point last_{};
};

} // namespace darvolt
