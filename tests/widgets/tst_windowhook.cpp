#include "toolkit/form.h"
#include "widgets/windowhook.h"

#include "support/caughterrors.h"

#include <QApplication>
#include <QTest>

#include <memory>
#include <stdexcept>

using namespace darvolt;
using namespace darvolt::messages;

namespace {

// Who saw what, in order: "B>" before-hook B, "B<" after-hook B, "form".
using Log = QStringList;

class LoggingForm : public TForm
{
public:
    Log *log = nullptr;
    WPARAM lastWParam = 0;
    ~LoggingForm() override { BeginDestroy(); }

protected:
    void WndProc(TMessage &message) override
    {
        if (message.Msg >= WM_USER || message.Msg == WM_DESTROY) {
            if (log)
                *log << (message.Msg == WM_DESTROY ? QStringLiteral("form:destroy") : QStringLiteral("form"));
            lastWParam = message.WParam;
            if (message.Msg == WM_USER + 1)
                throw std::runtime_error("form failed");
            message.Result = 100;
            return;
        }
        TForm::WndProc(message);
    }
};

// A hook that logs under its name; `swallow` marks the messages it handles.
std::unique_ptr<TRxWindowHook> loggingHook(const QString &name, Log &log, TWinControl *target,
                                           UINT swallow = 0)
{
    auto hook = std::make_unique<TRxWindowHook>();
    hook->BeforeMessage = [name, &log, swallow](QObject *, TMessage &msg, bool &handled) {
        if (msg.Msg < WM_USER && msg.Msg != WM_DESTROY && msg.Msg != WM_QUIT)
            return;
        log << name + QLatin1Char('>');
        if (msg.Msg == swallow) {
            msg.Result = 5;
            handled = true;
        }
    };
    hook->AfterMessage = [name, &log](QObject *, TMessage &msg, bool &) {
        if (msg.Msg >= WM_USER || msg.Msg == WM_DESTROY)
            log << name + QLatin1Char('<');
    };
    hook->setWinControl(target);
    return hook;
}

} // namespace

class TestWindowHook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QCoreApplication::sendPostedEvents(); }

    void startsActiveWithoutTarget()
    {
        TRxWindowHook hook;
        QVERIFY(hook.Active());
        QCOMPARE(hook.WinControl(), nullptr);
        QCOMPARE(hook.ControlHook(), nullptr);
    }

    void lastAttachedSeesFirst()
    {
        Log log;
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        auto b = loggingHook(QStringLiteral("B"), log, &form);
        QCOMPARE(a->ControlHook(), b->ControlHook()); // one replacement per window
        QCOMPARE(SendMessage(form.Handle(), WM_USER), LRESULT(100));
        QCOMPARE(log, (Log{"B>", "A>", "form", "B<", "A<"}));
    }

    void handledStopsEarlierHooksAndTheForm()
    {
        Log log;
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        auto b = loggingHook(QStringLiteral("B"), log, &form, WM_USER + 7);
        QCOMPARE(SendMessage(form.Handle(), WM_USER + 7), LRESULT(5));
        QCOMPARE(log, Log{"B>"});
    }

    void handledDestroyStillReachesTheForm()
    {
        Log log;
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        auto b = loggingHook(QStringLiteral("B"), log, &form, WM_DESTROY);
        form.RecreateWnd();
        // Handled stays set, so after the form only the last attached
        // after-hook runs.
        QCOMPARE(log, (Log{"B>", "form:destroy", "B<"}));
    }

    void changedParametersTravelOn()
    {
        Log log;
        LoggingForm form;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        WPARAM seenByA = 0;
        a->BeforeMessage = [&](QObject *, TMessage &msg, bool &) { seenByA = msg.WParam; };
        auto b = loggingHook(QStringLiteral("B"), log, &form);
        b->BeforeMessage = [](QObject *, TMessage &msg, bool &) { msg.WParam += 10; };
        LRESULT resultSeenAfter = 0;
        b->AfterMessage = [&](QObject *, TMessage &msg, bool &) {
            resultSeenAfter = msg.Result;
            msg.Result = 77;
        };
        QCOMPARE(SendMessage(form.Handle(), WM_USER, 1), LRESULT(77));
        QCOMPARE(seenByA, WPARAM(11));
        QCOMPARE(form.lastWParam, WPARAM(11));
        QCOMPARE(resultSeenAfter, LRESULT(100));
    }

    void afterHooksRunWhenTheFormThrows()
    {
        CaughtErrors errors;
        Log log;
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        QCOMPARE(form.Deliver(WM_USER + 1), LRESULT(0));
        QCOMPARE(log, (Log{"A>", "form", "A<"}));
        QCOMPARE(errors.messages, QStringList{"form failed"});
    }

    void throwingHookIsReportedAndTheNextStillRuns()
    {
        CaughtErrors errors;
        Log log;
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        auto b = loggingHook(QStringLiteral("B"), log, &form);
        b->BeforeMessage = [](QObject *, TMessage &, bool &) { throw std::runtime_error("hook failed"); };
        QCOMPARE(SendMessage(form.Handle(), WM_USER), LRESULT(100));
        QCOMPARE(log, (Log{"A>", "form", "B<", "A<"}));
        QCOMPARE(errors.messages, QStringList{"hook failed"});
    }

    void quitIsNotShownToBeforeHooks()
    {
        Log log;
        LoggingForm form;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        SendMessage(form.Handle(), WM_QUIT);
        QVERIFY(log.isEmpty());
    }

    void recreatedWindowIsHookedOnceThePostedMessageCame()
    {
        Log log;
        LoggingForm form;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        form.RecreateWnd();
        log.clear();
        // Until the reattach message comes, the new window is not hooked.
        SendMessage(form.Handle(), WM_USER);
        QVERIFY(log.isEmpty());
        QTRY_COMPARE(GetWindowProc(form.Handle()), a->ControlHook()->Procedure());
        SendMessage(form.Handle(), WM_USER);
        QCOMPARE(log, (Log{"A>", "A<"}));
    }

    void detachingLeavesALaterSubclassInPlace()
    {
        Log log;
        WNDPROC before; // outlives the form, whose last messages still pass here
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        const HWND window = form.Handle();
        const WNDPROC later = MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            if (m >= WM_USER)
                log << QStringLiteral("later");
            return CallWindowProc(before, w, m, wp, lp);
        });
        before = SetWindowProc(window, later);
        a->setActive(false);
        QCOMPARE(GetWindowProc(window), later);
        log.clear();
        SendMessage(window, WM_USER);
        QCOMPARE(log, (Log{"later", "form"}));

        // Attaching again must not put us in front of the chain we are in.
        a->setActive(true);
        log.clear();
        SendMessage(window, WM_USER);
        QCOMPARE(log, (Log{"later", "A>", "form", "A<"}));
    }

    void releasedControlHookStillPassesMessagesOn()
    {
        Log log;
        WNDPROC before; // outlives the form, whose last messages still pass here
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        const HWND window = form.Handle();
        const WNDPROC later = MakeWindowProc([&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            return CallWindowProc(before, w, m, wp, lp);
        });
        before = SetWindowProc(window, later);
        a.reset();
        QTRY_COMPARE(THookList::Instance().Find(&form), nullptr);
        log.clear();
        QCOMPARE(SendMessage(window, WM_USER), LRESULT(100));
        QCOMPARE(log, Log{"form"});
    }

    void restoresTheFormProcedureWhenStillCurrent()
    {
        Log log;
        LoggingForm form;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        QVERIFY(GetWindowProc(form.Handle()) != form.OwnWindowProc());
        a->setActive(false);
        QCOMPARE(GetWindowProc(form.Handle()), form.OwnWindowProc());
        QCOMPARE(a->ControlHook(), nullptr);
    }

    void changingTheTargetFreesTheFirstControlHookAfterwards()
    {
        Log log;
        LoggingForm first, second;
        auto a = loggingHook(QStringLiteral("A"), log, &first);
        TControlHook *old = a->ControlHook();
        QVERIFY(old);
        a->setWinControl(&second);
        QVERIFY(a->Active());
        QCOMPARE(a->ControlHook()->Control(), &second);
        QCOMPARE(THookList::Instance().Find(&first), old); // not during the call
        QCOMPARE(GetWindowProc(first.Handle()), first.OwnWindowProc());
        QTRY_COMPARE(THookList::Instance().Find(&first), nullptr);
        SendMessage(second.Handle(), WM_USER);
        QCOMPARE(log, (Log{"A>", "A<"}));
    }

    void inactiveHookRemembersItsTarget()
    {
        Log log;
        LoggingForm first, second;
        auto a = loggingHook(QStringLiteral("A"), log, &first);
        a->setActive(false);
        a->setWinControl(&second);
        QVERIFY(!a->Active());
        QCOMPARE(a->ControlHook(), nullptr);
        QTRY_COMPARE(THookList::Instance().Find(&first), nullptr);
        a->setActive(true);
        SendMessage(second.Handle(), WM_USER);
        QCOMPARE(log, (Log{"A>", "A<"}));
    }

    void destroyedTargetLetsGoOfTheHook()
    {
        Log log;
        auto *form = new LoggingForm;
        form->log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, form);
        delete form;
        QCOMPARE(a->WinControl(), nullptr);
        QVERIFY(a->Active());
        // WM_DESTROY of a form that goes for good is not shown to hooks.
        QVERIFY(!log.contains(QStringLiteral("A>")));
        QTRY_COMPARE(THookList::Instance().Count(), std::size_t(0));
    }

    void releaseWhileTheProcedureRunsWaitsForItsEnd()
    {
        Log log;
        LoggingForm form;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        a->BeforeMessage = [&a](QObject *, TMessage &msg, bool &) {
            if (msg.Msg != WM_USER)
                return;
            a->setWinControl(nullptr);
            // A nested event loop delivers the release at once.
            QCoreApplication::sendPostedEvents();
        };
        QCOMPARE(SendMessage(form.Handle(), WM_USER), LRESULT(100));
        QCOMPARE(THookList::Instance().Find(&form), nullptr);
        QCOMPARE(SendMessage(form.Handle(), WM_USER), LRESULT(100));
    }

    void hookDeletedByAnotherIsSkipped()
    {
        Log log;
        LoggingForm form;
        form.log = &log;
        auto a = loggingHook(QStringLiteral("A"), log, &form);
        auto b = loggingHook(QStringLiteral("B"), log, &form);
        b->BeforeMessage = [&a, &log](QObject *, TMessage &msg, bool &) {
            if (msg.Msg == WM_USER) {
                log << QStringLiteral("B>");
                a.reset();
            }
        };
        SendMessage(form.Handle(), WM_USER);
        QCOMPARE(log, (Log{"B>", "form", "B<"}));
    }

    void isFormNamesTheOwnerForm()
    {
        LoggingForm form, other;
        auto *hook = new TRxWindowHook(&form);
        QVERIFY(!hook->IsForm());
        hook->setIsForm(true);
        QCOMPARE(hook->WinControl(), &form);
        QVERIFY(hook->IsForm());
        QVERIFY(!hook->WinControlStored());
        QVERIFY(hook->IsFormStored());
        TRxWindowHook ancestor(&form);
        ancestor.setIsForm(true);
        QVERIFY(!hook->IsFormStored(&ancestor));
        hook->setWinControl(&other);
        QVERIFY(!hook->IsForm());
        QVERIFY(hook->WinControlStored());
        QVERIFY(!hook->IsFormStored());
        QVERIFY(hook->IsFormStored(&ancestor));

        // Without a form as owner, IsForm cannot name one.
        TRxWindowHook orphan;
        orphan.setIsForm(true);
        QCOMPARE(orphan.WinControl(), nullptr);
    }
};

QTEST_MAIN(TestWindowHook)
#include "tst_windowhook.moc"
