#include "toolkit/wincontrol.h"
#include "toolkit/wndproc.h"

#include "support/caughterrors.h"

#include <QApplication>
#include <QTest>

#include <stdexcept>
#include <vector>

using namespace darvolt;
using namespace darvolt::messages;

namespace {

// A control that writes down every message its own procedure receives.
class RecordingControl : public TWinControl
{
public:
    std::vector<UINT> seen;
    ~RecordingControl() override { BeginDestroy(); }

protected:
    void WndProc(TMessage &message) override
    {
        seen.push_back(message.Msg);
        if (message.Msg == WM_USER)
            message.Result = 42;
        if (message.Msg == WM_USER + 1)
            throw std::runtime_error("control failed");
    }
};

} // namespace

class TestWndProc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pointParamKeepsSignedCoordinates_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::newRow("origin") << 0 << 0;
        QTest::newRow("ordinary") << 640 << 480;
        QTest::newRow("left of the primary screen") << -1 << 5;
        QTest::newRow("above") << 17 << -300;
        QTest::newRow("extremes") << 32767 << -32768;
    }
    void pointParamKeepsSignedCoordinates()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QCOMPARE(PointFromParam(MakePointParam(x, y)), QPoint(x, y));
    }

    void regionParamSeparatesWholeWindowFromRegions()
    {
        const QRegion region(1, 2, 3, 4);
        QCOMPARE(RegionFromParam(RegionParam(&region)), &region);
        QCOMPARE(RegionFromParam(NCPAINT_WHOLE_WINDOW), nullptr);
        QCOMPARE(RegionFromParam(0), nullptr);
    }

    void windowNumbersAreNeverReused()
    {
        HWND first;
        {
            TWindowHandle window(MakeWindowProc(DefWindowProc));
            first = window.Handle();
            QVERIFY(IsWindow(first));
        }
        QVERIFY(!IsWindow(first));
        TWindowHandle next(MakeWindowProc(DefWindowProc));
        QVERIFY(next.Handle() != first);
        QCOMPARE(SendMessage(first, WM_USER), LRESULT(0));
    }

    void subclassesChainAndRestore()
    {
        RecordingControl control;
        const HWND window = control.Handle();
        QVERIFY(IsWindow(window));
        QCOMPARE(GetWindowProc(window), control.OwnWindowProc());

        std::vector<QString> order;
        WNDPROC previous;
        const WNDPROC replacement = MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            order.push_back(QStringLiteral("subclass"));
            return CallWindowProc(previous, w, m, wp + 1, lp) + 1;
        });
        previous = SetWindowProc(window, replacement);
        QCOMPARE(previous, control.OwnWindowProc());
        QCOMPARE(SendMessage(window, WM_USER), LRESULT(43));
        QCOMPARE(order.size(), std::size_t(1));

        // Perform goes past the subclass.
        QCOMPARE(control.Perform(WM_USER), LRESULT(42));
        QCOMPARE(order.size(), std::size_t(1));

        QCOMPARE(SetWindowProc(window, previous), replacement);
        QCOMPARE(SendMessage(window, WM_USER), LRESULT(42));
        QCOMPARE(order.size(), std::size_t(1));
    }

    void reboundProcedureStopsReachingItsOwner()
    {
        int calls = 0;
        const WNDPROC proc = MakeWindowProc([&](HWND, UINT, WPARAM, LPARAM) {
            ++calls;
            return LRESULT(7);
        });
        TWindowHandle window(proc);
        QCOMPARE(SendMessage(window.Handle(), WM_USER), LRESULT(7));
        proc->Rebind(DefWindowProc);
        QCOMPARE(SendMessage(window.Handle(), WM_USER), LRESULT(0));
        QCOMPARE(calls, 1);
    }

    void postedMessageArrivesLaterAndOnlyWhileTheWindowLives()
    {
        std::vector<UINT> seen;
        auto window = AllocateHWnd([&](HWND, UINT msg, WPARAM, LPARAM) {
            seen.push_back(msg);
            return LRESULT(0);
        });
        QVERIFY(PostMessage(window->Handle(), WM_USER + 5));
        QVERIFY(seen.empty()); // not during the call
        QTRY_COMPARE(seen.size(), std::size_t(1));
        QCOMPARE(seen.front(), WM_USER + 5);

        QVERIFY(PostMessage(window->Handle(), WM_USER + 6));
        const HWND gone = window->Handle();
        window.reset();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(seen.size(), std::size_t(1));
        QVERIFY(!PostMessage(gone, WM_USER));
    }

    void exceptionOfPostedMessageGoesToTheApplicationHandler()
    {
        CaughtErrors errors;
        auto window = AllocateHWnd([](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
            throw std::runtime_error("posted failure");
        });
        QVERIFY(PostMessage(window->Handle(), WM_USER));
        QTRY_COMPARE(errors.messages, QStringList{QStringLiteral("posted failure")});
    }

    void sendMessageLetsTheCallerSeeExceptionsDeliverReportsThem()
    {
        CaughtErrors errors;
        RecordingControl control;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, SendMessage(control.Handle(), WM_USER + 1));
        QCOMPARE(control.Deliver(WM_USER + 1), LRESULT(0));
        QCOMPARE(errors.messages, QStringList{QStringLiteral("control failed")});
    }

    void throwingHandlerDoesNotEscape()
    {
        const TExceptionHandler previous = SetApplicationExceptionHandler(
            [](std::exception_ptr) { throw std::logic_error("handler broke"); });
        HandleApplicationException(std::make_exception_ptr(std::runtime_error("first")));
        SetApplicationExceptionHandler(previous);
    }

    void recreatingSendsDestroyAndStartsWithTheOwnProcedure()
    {
        RecordingControl control;
        const HWND first = control.Handle();
        const WNDPROC replacement = MakeWindowProc(DefWindowProc);
        SetWindowProc(first, replacement);
        control.RecreateWnd();
        QVERIFY(!IsWindow(first));
        QVERIFY(control.HandleAllocated());
        QVERIFY(control.WindowHandle() != first);
        QCOMPARE(GetWindowProc(control.WindowHandle()), control.OwnWindowProc());
        // WM_DESTROY went through the subclass of the old window, which swallowed it.
        QVERIFY(std::find(control.seen.begin(), control.seen.end(), WM_DESTROY) == control.seen.end());
        control.RecreateWnd();
        QCOMPARE(std::count(control.seen.begin(), control.seen.end(), WM_DESTROY), 1);
    }

    void destructionDestroysTheWindowAndTellsWatchers()
    {
        auto *control = new RecordingControl;
        const HWND window = control->Handle();
        bool destroying = false;
        bool windowGoneByThen = false;
        connect(control, &TWinControl::Destroying, this, [&](TWinControl *c) {
            destroying = true;
            windowGoneByThen = !IsWindow(window) && c->IsDestroying();
        });
        const WNDPROC own = control->OwnWindowProc();
        delete control;
        QVERIFY(destroying);
        QVERIFY(windowGoneByThen);
        // Whoever kept the procedure reaches nothing of the control.
        QCOMPARE(CallWindowProc(own, HWND{}, WM_USER, 0, 0), LRESULT(0));
    }
};

QTEST_MAIN(TestWndProc)
#include "tst_wndproc.moc"
