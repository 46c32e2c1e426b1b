#pragma once
// Shared by the two start-up probes: once the first window has been painted,
// print the monotonic clock (nanoseconds) and end the program. Run under
// callgrind, a probe also dumps its counts at that moment, so the first
// dump holds the instructions from the start to the first paint.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define WINDOWBENCH_MARK_FIRST_PAINT() CALLGRIND_DUMP_STATS_AT("first paint")
#else
#define WINDOWBENCH_MARK_FIRST_PAINT() ((void)0)
#endif

class FirstPaintWatch : public QObject
{
public:
    // Watches top-level widgets whose class inherits `windowClass`.
    explicit FirstPaintWatch(const char *windowClass) : m_windowClass(windowClass) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow() && watched->inherits(m_windowClass)) {
            m_seen = true;
            // The children are painted in the same pass; the timer fires
            // once that pass is over.
            QTimer::singleShot(0, [] {
                WINDOWBENCH_MARK_FIRST_PAINT();
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("%lld\n",
                            static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    const char *m_windowClass;
    bool m_seen = false;
};

inline void WatchFirstPaint(const char *windowClass)
{
    auto *watch = new FirstPaintWatch(windowClass);
    watch->setParent(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(watch);
}
