#include "widgets/rxtimer.h"
#include "toolkit/synchronize.h"
#include "toolkit/wndproc.h"

#include "tst_rxtimergate.h"

#include <QtTest>

#include <atomic>
#include <memory>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#endif

using namespace darvolt;
using namespace darvolt::messages;

namespace {

// Counts the ticks a timer delivers and where they ran.
struct TickLog
{
    int count = 0;
    bool allOnGuiThread = true;
    bool workerWaitedEveryTime = true;

    TNotifyEvent Handler(TRxTimer &timer)
    {
        return [this, &timer](QObject *sender) {
            ++count;
            allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
            workerWaitedEveryTime = workerWaitedEveryTime && sender == &timer
                                    && timer.Worker()->WaitingForTick();
        };
    }
};

} // namespace

class tst_RxTimer : public QObject
{
    Q_OBJECT

private:
    std::vector<std::shared_ptr<TickGate>> m_gates;

    std::shared_ptr<TickGate> Gate(TRxTimer &timer)
    {
        m_gates.push_back(TickGate::On(*timer.Worker()));
        return m_gates.back();
    }

private slots:
    void init() { m_gates.clear(); }

    void cleanup()
    {
        // No worker may stay blocked in a test's sleep.
        for (const auto &gate : m_gates)
            gate->Open();
        m_gates.clear();
        SetApplicationExceptionHandler({});
    }

    void newTimerHasItsDefaultsAndDoesNotTick()
    {
        TRxTimer timer;
        QCOMPARE(timer.Enabled(), true);
        QCOMPARE(timer.Interval(), 1000u);
        QCOMPARE(timer.SyncEvent(), true);
        QCOMPARE(timer.Threaded(), true);
        QCOMPARE(timer.ThreadPriority(), tpNormal);
        QVERIFY(!timer.OnTimer());
        QVERIFY(timer.Worker()->Suspended());
        QCOMPARE(timer.HiddenWindow(), HWND{});
        QCOMPARE(timer.property("ThreadPriority").value<TThreadPriority>(), tpNormal);
    }

    void handlerAssignedFromCodeStartsTicking()
    {
        TRxTimer timer;
        timer.setInterval(5);
        QVERIFY(timer.Worker()->Suspended());
        TickLog log;
        timer.setOnTimer(log.Handler(timer));
        QVERIFY(!timer.Worker()->Suspended());
        QTRY_VERIFY(log.count >= 3);
        QVERIFY(log.allOnGuiThread);
        QVERIFY(log.workerWaitedEveryTime);
    }

    void intervalZeroNeverTicks()
    {
        TRxTimer timer;
        timer.setInterval(0);
        const auto gate = Gate(timer);
        TickLog log;
        timer.setOnTimer(log.Handler(timer));
        QVERIFY(!timer.Active());
        QVERIFY(timer.Worker()->Suspended());

        // A second timer as the clock: while it ticks three times, the
        // first one neither sleeps nor ticks.
        TRxTimer clock;
        clock.setInterval(5);
        int clockTicks = 0;
        clock.setOnTimer([&](QObject *) { ++clockTicks; });
        QTRY_VERIFY(clockTicks >= 3);
        QCOMPARE(log.count, 0);
        QCOMPARE(gate->Sleeps(), 0);
        QCOMPARE(gate->Sleeping(), 0);
    }

    void enableOffAndOnReusesTheSameWorker()
    {
        TRxTimer timer;
        timer.setInterval(5);
        TickLog log;
        timer.setOnTimer(log.Handler(timer));
        QTRY_VERIFY(log.count >= 1);
        const std::shared_ptr<TTimerThread> worker = timer.Worker();
        const std::thread::id thread = worker->ThreadId();

        timer.setEnabled(false);
        QVERIFY(worker->Suspended());
        const int stoppedAt = log.count;
        timer.setEnabled(true);
        QVERIFY(!worker->Suspended());
        QTRY_VERIFY(log.count >= stoppedAt + 2);
        QCOMPARE(timer.Worker(), worker);
        QCOMPARE(timer.Worker()->ThreadId(), thread);
    }

    void ticksStopWhileDisabled()
    {
        TRxTimer timer;
        timer.setInterval(5);
        const auto gate = Gate(timer);
        TickLog log;
        timer.setOnTimer(log.Handler(timer));
        QTRY_COMPARE(gate->Sleeping(), 1);
        timer.setEnabled(false);
        gate->Release();
        // The worker finishes its sleep and stops before the Enabled test.
        QVERIFY(WaitWithoutEvents([&] { return gate->Sleeping() == 0; }));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(log.count, 0);
        QCOMPARE(gate->Sleeps(), 1);
    }

    void equalIntervalNeitherSuspendsNorResumes()
    {
        TRxTimer timer;
        timer.setInterval(50);
        timer.setOnTimer([](QObject *) {});
        const auto worker = timer.Worker();
        const auto clock = CountingClock::On(*worker);
        const int suspends = clock->Suspends();
        const int resumes = clock->Resumes();

        timer.setInterval(50);
        timer.setEnabled(true);
        timer.setThreaded(true);
        timer.setThreadPriority(tpNormal);
        QCOMPARE(clock->Suspends(), suspends);
        QCOMPARE(clock->Resumes(), resumes);

        timer.setInterval(60);
        QCOMPARE(clock->Suspends(), suspends + 1);
        QCOMPARE(clock->Resumes(), resumes + 1);
        QCOMPARE(worker->Interval(), 60u);
        QVERIFY(!worker->Suspended());
    }

    void replacingTheHandlerKeepsTheWorkerRunning()
    {
        TRxTimer timer;
        timer.setOnTimer([](QObject *) {});
        const auto clock = CountingClock::On(*timer.Worker());
        const int suspends = clock->Suspends();
        timer.setOnTimer([](QObject *) {});
        QCOMPARE(clock->Suspends(), suspends);
        timer.setOnTimer(nullptr);
        QVERIFY(timer.Worker()->Suspended());
    }

    void intervalSetInsideATickCountsFromTheNextSleep()
    {
        TRxTimer timer;
        timer.setInterval(5);
        const auto gate = Gate(timer);
        int ticks = 0;
        timer.setOnTimer([&](QObject *) {
            if (++ticks == 1)
                timer.setInterval(7);
        });
        QTRY_COMPARE(gate->Sleeping(), 1);
        gate->Release();
        QTRY_COMPARE(ticks, 1);
        QTRY_COMPARE(gate->Sleeping(), 1);
        QCOMPARE(gate->Intervals(), (std::vector<std::uint32_t>{5, 7}));
        gate->Release();
        QTRY_COMPARE(ticks, 2);
        QTRY_COMPARE(gate->Intervals().size(), std::size_t(3));
        QCOMPARE(gate->Intervals().back(), 7u);
    }

    void destroyingASleepingTimerReturnsAtOnce()
    {
        auto timer = std::make_unique<TRxTimer>();
        timer->setInterval(60000);
        const auto gate = Gate(*timer);
        int ticks = 0;
        timer->setOnTimer([&](QObject *) { ++ticks; });
        QTRY_COMPARE(gate->Sleeping(), 1);
        const std::weak_ptr<TTimerThread> worker = timer->Worker();

        // Were the destructor to wait for the worker, it would wait forever:
        // the worker's sleep only ends when the gate opens below.
        timer.reset();
        QVERIFY(!worker.expired());
        gate->Release();
        QTRY_VERIFY(worker.expired());
        QCOMPARE(ticks, 0);
    }

    void tickHandedOverBeforeDestructionNeverArrives()
    {
        auto timer = std::make_unique<TRxTimer>();
        timer->setInterval(5);
        const auto gate = Gate(*timer);
        int ticks = 0;
        timer->setOnTimer([&](QObject *) { ++ticks; });
        QTRY_COMPARE(gate->Sleeping(), 1);
        const std::shared_ptr<TTimerThread> worker = timer->Worker();
        gate->Release();
        // The tick is queued for the GUI thread, which is busy here.
        QVERIFY(WaitWithoutEvents([&] { return worker->WaitingForTick(); }));
        timer.reset();
        QTRY_VERIFY(worker->Finished());
        QCOMPARE(ticks, 0);
        QVERIFY(!worker->FatalException());
    }

    void destroyingTheTimerInsideItsTickIsSafe()
    {
        auto *timer = new TRxTimer;
        timer->setInterval(5);
        const std::weak_ptr<TTimerThread> worker = timer->Worker();
        int ticks = 0;
        timer->setOnTimer([&](QObject *sender) {
            ++ticks;
            delete static_cast<TRxTimer *>(sender);
        });
        QTRY_VERIFY(worker.expired());
        QCOMPARE(ticks, 1);
    }

    void windowTimerModeTicksAndSwitchesBack()
    {
        TRxTimer timer;
        timer.setInterval(5);
        timer.setThreaded(false);
        QVERIFY(timer.HiddenWindow() != HWND{});
        QVERIFY(IsWindow(timer.HiddenWindow()));
        QVERIFY(timer.Worker()->Suspended());
        QVERIFY(!timer.WindowTimerRunning());

        TickLog log;
        timer.setOnTimer(log.Handler(timer));
        QVERIFY(timer.WindowTimerRunning());
        QVERIFY(timer.Worker()->Suspended());
        QTRY_VERIFY(log.count >= 2);
        QVERIFY(log.allOnGuiThread);

        const HWND window = timer.HiddenWindow();
        timer.setThreaded(true);
        QCOMPARE(timer.HiddenWindow(), HWND{});
        QVERIFY(!IsWindow(window));
        QVERIFY(!timer.Worker()->Suspended());
        const int before = log.count;
        QTRY_VERIFY(log.count >= before + 2);
    }

    void windowTimerExceptionGoesToTheApplicationHandler()
    {
        QStringList reported;
        SetApplicationExceptionHandler([&](std::exception_ptr e) { reported << ExceptionMessage(e); });
        TRxTimer timer;
        timer.setThreaded(false);
        timer.setInterval(5);
        int ticks = 0;
        timer.setOnTimer([&](QObject *) {
            ++ticks;
            throw std::runtime_error("window tick failed");
        });
        QTRY_VERIFY(ticks >= 2);
        QVERIFY(reported.size() >= 2);
        QCOMPARE(reported.first(), QStringLiteral("window tick failed"));
    }

    void refusedWindowTimerRaisesAndKeepsTheSettings()
    {
        TRxTimer timer;
        timer.setThreaded(false);
        timer.setOnTimer([](QObject *) {});
        try {
            timer.setInterval(0x80000000u);
            QFAIL("no exception");
        } catch (const EOutOfResources &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Not enough timers available"));
        }
        QCOMPARE(timer.Interval(), 0x80000000u);
        QCOMPARE(timer.Threaded(), false);
        QVERIFY(!timer.WindowTimerRunning());
        timer.setInterval(10);
        QVERIFY(timer.WindowTimerRunning());
    }

    void priorityTable_data()
    {
        QTest::addColumn<TThreadPriority>("priority");
        QTest::addColumn<int>("level");
        QTest::newRow("idle") << tpIdle << -15;
        QTest::newRow("lowest") << tpLowest << -2;
        QTest::newRow("lower") << tpLower << -1;
        QTest::newRow("normal") << tpNormal << 0;
        QTest::newRow("higher") << tpHigher << 1;
        QTest::newRow("highest") << tpHighest << 2;
        QTest::newRow("time critical") << tpTimeCritical << 15;
    }

    void priorityTable()
    {
        QFETCH(TThreadPriority, priority);
        QFETCH(int, level);
        QCOMPARE(ThreadPriorityLevel(priority), level);
        // The nice values keep the same order, lowest priority highest nice.
        if (priority > tpIdle)
            QVERIFY(ThreadPriorityNice(priority) < ThreadPriorityNice(TThreadPriority(priority - 1)));
    }

    void priorityInWindowModeIsStoredAndAppliedOnTheSwitch()
    {
        TRxTimer timer;
        timer.setInterval(5);
        timer.setOnTimer([](QObject *) {});
        timer.setThreaded(false);
        const auto clock = CountingClock::On(*timer.Worker());
        const int suspends = clock->Suspends();
        timer.setThreadPriority(tpLower);
        QCOMPARE(timer.ThreadPriority(), tpLower);
        QCOMPARE(timer.Worker()->Priority(), tpNormal);
        QCOMPARE(clock->Suspends(), suspends);

        timer.setThreaded(true);
        QCOMPARE(timer.Worker()->Priority(), tpLower);
#if defined(Q_OS_LINUX)
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        if (errno == 0 && nice <= ThreadPriorityNice(tpLower))
            QTRY_COMPARE(timer.Worker()->AppliedPriority(), int(tpLower));
#endif
    }

    void exceptionOfASynchronisedTickEndsTheWorkerAndIsReported()
    {
        QStringList reported;
        SetApplicationExceptionHandler([&](std::exception_ptr e) { reported << ExceptionMessage(e); });
        TRxTimer timer;
        timer.setInterval(5);
        bool fail = true;
        int ticks = 0;
        timer.setOnTimer([&](QObject *) {
            ++ticks;
            if (fail)
                throw std::runtime_error("tick failed");
        });
        const std::shared_ptr<TTimerThread> first = timer.Worker();
        QTRY_COMPARE(reported, QStringList{QStringLiteral("tick failed")});
        QVERIFY(first->Finished());
        QVERIFY(first->FatalException());
        QCOMPARE(ticks, 1);

        // Switching the timer on again brings a new worker.
        fail = false;
        timer.setEnabled(false);
        timer.setEnabled(true);
        QVERIFY(timer.Worker() != first);
        QTRY_VERIFY(ticks >= 3);
    }

    void withoutSyncEventTheTickRunsOnTheWorker()
    {
        TRxTimer timer;
        timer.setInterval(5);
        timer.setSyncEvent(false);
        std::atomic<int> ticks{0};
        std::atomic<bool> onGui{false};
        timer.setOnTimer([&](QObject *) {
            if (QThread::currentThread() == qApp->thread())
                onGui = true;
            ++ticks;
        });
        QTRY_VERIFY(ticks >= 2);
        timer.setEnabled(false);
        QVERIFY(!onGui);
    }

    void synchronizeRunsOnTheGuiThreadAndCarriesExceptionsBack()
    {
        InstallSynchronizer();
        QVERIFY(IsGuiThread());
        std::atomic<bool> ranOnGui{false};
        std::atomic<bool> caught{false};
        std::atomic<bool> done{false};
        std::thread worker([&] {
            Synchronize([&] { ranOnGui = IsGuiThread(); });
            try {
                Synchronize([] { throw std::runtime_error("from the GUI thread"); });
            } catch (const std::runtime_error &e) {
                caught = std::string(e.what()) == "from the GUI thread";
            }
            done = true;
        });
        QTRY_VERIFY(done);
        worker.join();
        QVERIFY(ranOnGui);
        QVERIFY(caught);

        // On the GUI thread the work runs at once.
        bool ran = false;
        QVERIFY(Synchronize([&] { ran = true; }));
        QVERIFY(ran);
    }
};

QTEST_MAIN(tst_RxTimer)
#include "tst_rxtimer.moc"
