// The banner strip of the main window: still until the window is shown,
// playing after, held on one frame through every split and playing on from
// there, untouched by a refused split, stopped with the window; the link
// area over it and its hand cursor. The banner's ticks are handed out one
// at a time through its worker's sleep, so no test waits for a clock.
#include "apptest.h"

#include "app/tform4.h"
#include "widgets/gifanimator.h"
#include "gif/gifimage.h"
#include "widgets/rxtimer.h"
#include "widgets/tst_rxtimergate.h"
#include "platform/fakeplatform.h"
#include "widgets/prourlimage.h"

#include <QSignalSpy>
#include <QTimer>

using namespace darvolt;

namespace {

TRxGIFAnimator &Banner(const TForm4 &form)
{
    return *form.Controls().RxGIFAnimator1;
}

// Runs a function on every pass of the message pump while it exists.
class EveryPump
{
public:
    explicit EveryPump(std::function<void()> step)
    {
        QObject::connect(&m_timer, &QTimer::timeout, std::move(step));
        m_timer.start(0);
    }

private:
    QTimer m_timer;
};

// The banner and the controls around it at one moment.
struct BannerMoment {
    int frame = -1;
    bool animate = false;
    bool splitEnabled = false;
    bool fieldEnabled = false;
    bool progressVisible = false;
};

BannerMoment MomentOf(const TForm4 &form)
{
    const Ui::TForm4 &ui = form.Controls();
    return {Banner(form).FrameIndex(), Banner(form).Animate(), ui.FlatSpeedButton1->isEnabled(),
            ui.FilenameEdit1->isEnabled(), ui.ProgressBar1->isVisible()};
}

} // namespace

class tst_Form4Banner : public QObject
{
    Q_OBJECT

private:
    std::vector<std::shared_ptr<TickGate>> m_gates;

    // From now on the banner's worker sleeps only when the test says so.
    std::shared_ptr<TickGate> Gate(const TForm4 &form)
    {
        m_gates.push_back(TickGate::On(*Banner(form).Timer().Worker()));
        return m_gates.back();
    }

    // Lets the banner show its next frame and waits until it has.
    static void Tick(TickGate &gate, const QList<int> &shown)
    {
        const qsizetype before = shown.size();
        QTRY_COMPARE(gate.Sleeping(), 1);
        gate.Release();
        QTRY_COMPARE(shown.size(), before + 1);
    }

private slots:
    void cleanup()
    {
        for (const auto &gate : m_gates)
            gate->Open();
        m_gates.clear();
    }

    void bannerStandsStillUntilTheWindowIsShownThenPlaysItsFrames()
    {
        darvolt::FakePlatform platform;
        QList<int> shown; // outlives the window, which still signals as it goes
        TForm4 form(&platform);
        form.SetArguments({});
        TRxGIFAnimator &banner = Banner(form);
        QCOMPARE(banner.Image().FrameCount(), 44);
        QVERIFY(!banner.Animate());
        QCOMPARE(banner.FrameIndex(), 0);
        QVERIFY(banner.Timer().Worker()->Suspended());

        const auto gate = Gate(form);
        connect(&banner, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << banner.FrameIndex(); });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(banner.Animate());
        QVERIFY(banner.Timer().Active());
        // Once through all 44 frames and on into the next pass.
        for (int tick = 0; tick < 45; ++tick)
            Tick(*gate, shown);
        QList<int> expected;
        for (int frame = 1; frame < 44; ++frame)
            expected << frame;
        expected << 0 << 1;
        QCOMPARE(shown, expected);
        // Each frame stayed up for its own delay: one pass is 6.88 s.
        const std::vector<std::uint32_t> intervals = gate->Intervals();
        QVERIFY(intervals.size() >= 44);
        std::uint32_t pass = 0;
        for (std::size_t i = 0; i < 44; ++i)
            pass += intervals[i];
        QCOMPARE(pass, 6880u);
    }

    void windowShowsTheBannerStretchedBelowTheLinkArea()
    {
        darvolt::FakePlatform platform;
        QList<int> shown;
        TForm4 form(&platform);
        form.SetArguments({});
        const auto gate = Gate(form);
        TRxGIFAnimator &banner = Banner(form);
        connect(&banner, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << banner.FrameIndex(); });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int tick = 0; tick < 3; ++tick) {
            // What the window shows where the banner lies is the banner's
            // stretched face: the link image over it draws nothing.
            const QRect area(banner.mapTo(form.Client(), QPoint(0, 0)), banner.size());
            const QImage window = form.Client()->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
            const QImage face = banner.RenderPicture().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(face.size(), QSize(385, 36));
            QCOMPARE(window, face);
            Tick(*gate, shown);
        }
    }

    void showTakesTheArgumentBeforeTheBannerStartsAndTheHelpFileAfter()
    {
        darvolt::FakePlatform platform;
        platform.addFile("/data/report.doc", std::string(3000, 'r'));
        QString fieldAtStart, helpAtStart;
        int starts = 0;
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        Application()->SetHelpFile(QStringLiteral("earlier.html"));
        connect(&Banner(form), &TRxGIFAnimator::OnStart, this, [&] {
            ++starts;
            fieldAtStart = form.Controls().FilenameEdit1->text();
            helpAtStart = Application()->HelpFile();
        });
        Gate(form);
        form.show();
        QCOMPARE(starts, 1);
        QCOMPARE(fieldAtStart, QStringLiteral("/data/report.doc"));
        QCOMPARE(helpAtStart, QStringLiteral("earlier.html"));
        QVERIFY(Application()->HelpFile().endsWith(QStringLiteral("darvolt.html")));
    }

    void splitHoldsFrame33ThenPlaysOnFrom34_data()
    {
        QTest::addColumn<QString>("outcome");
        for (const char *outcome :
             {"parts written", "write fails", "source gone", "diskette cancelled", "exception from the error box"})
            QTest::newRow(outcome) << QString::fromLatin1(outcome);
    }
    void splitHoldsFrame33ThenPlaysOnFrom34()
    {
        QFETCH(QString, outcome);
        darvolt::FakePlatform platform("/media/floppy0");
        platform.addFile("/data/report.doc", std::string(5000, 'r'));
        DialogRecorder dialogs;
        QList<int> shown;
        std::vector<BannerMoment> stopped, started, during;
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        form.RunOptions().blockSize = 1024;
        form.RunOptions().pumpInterval = std::chrono::milliseconds(0);
        TRxGIFAnimator &banner = Banner(form);
        const auto gate = Gate(form);
        connect(&banner, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << banner.FrameIndex(); });
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Tick(*gate, shown);
        Tick(*gate, shown);
        QCOMPARE(banner.FrameIndex(), 2);

        const Ui::TForm4 &ui = form.Controls();
        bool throwOnce = outcome == QLatin1String("exception from the error box");
        if (outcome == QLatin1String("write fails") || throwOnce) {
            platform.failCall(darvolt::FakePlatform::Operation::Write, 2, darvolt::error::DeviceError);
        } else if (outcome == QLatin1String("source gone")) {
            platform.removeFile("/data/report.doc");
        } else if (outcome == QLatin1String("diskette cancelled")) {
            platform.insertMedia({darvolt::FakePlatform::Medium{}});
            dialogs.answers = {mrCancel};
            QTest::mouseClick(ui.RadioButton3, Qt::LeftButton);
        }
        if (!ui.RadioButton3->isChecked()) {
            QTest::mouseClick(ui.RadioButton2, Qt::LeftButton);
            ui.Edit2->setText(QStringLiteral("2"));
        }

        connect(&banner, &TRxGIFAnimator::OnStop, this, [&] { stopped.push_back(MomentOf(form)); });
        connect(&banner, &TRxGIFAnimator::OnStart, this, [&] { started.push_back(MomentOf(form)); });
        bool released = false;
        const auto duringRun = [&] {
            if (!form.Running())
                return;
            during.push_back(MomentOf(form));
            if (!released) {
                // A sleep that ends during the run brings no frame: the
                // worker finds the banner switched off.
                released = true;
                gate->Release();
                QVERIFY(WaitWithoutEvents([&] { return gate->Sleeping() == 0; }));
            }
        };
        dialogs.onShow = [&](const TMessageDialogRequest &) {
            duringRun();
            if (std::exchange(throwOnce, false))
                throw std::runtime_error("The error box failed");
        };
        {
            EveryPump watch(duringRun);
            if (outcome == QLatin1String("exception from the error box")) {
                // As a queued call: an exception unwinding through Qt's own
                // mouse delivery would leak its event copies.
                QMetaObject::invokeMethod(
                    &form, [&] { form.FlatSpeedButton1Click(ui.FlatSpeedButton1); }, Qt::QueuedConnection);
                QCoreApplication::sendPostedEvents(&form, QEvent::MetaCall);
            } else {
                QTest::mouseClick(ui.FlatSpeedButton1, Qt::LeftButton);
            }
        }
        QVERIFY(!form.Running());
        QVERIFY(!dialogs.shown.empty() || outcome == QLatin1String("parts written"));
        QCOMPARE(platform.openFiles(), 0);
        if (outcome == QLatin1String("exception from the error box"))
            QVERIFY(dialogs.texts(TMsgDlgKind::Error).contains(QStringLiteral("The error box failed")));

        // Held after the progress bar came up and before the controls were
        // locked.
        QCOMPARE(stopped.size(), std::size_t(1));
        QCOMPARE(stopped[0].frame, 33);
        QVERIFY(stopped[0].progressVisible);
        QVERIFY(stopped[0].splitEnabled && stopped[0].fieldEnabled);
        QVERIFY(!during.empty());
        for (const BannerMoment &moment : during) {
            QCOMPARE(moment.frame, 33);
            QVERIFY(!moment.animate);
        }
        QCOMPARE(shown.last(), 33);
        // Started again right after Split came back, before the progress bar
        // went and the other controls were unlocked.
        QCOMPARE(started.size(), std::size_t(1));
        QVERIFY(started[0].splitEnabled);
        QVERIFY(started[0].progressVisible);
        QVERIFY(!started[0].fieldEnabled);
        QVERIFY(banner.Animate());

        // Playing goes on from the held frame.
        const qsizetype atEnd = shown.size();
        if (!released)
            gate->Release();
        QTRY_COMPARE(shown.size(), atEnd + 1);
        QCOMPARE(shown.last(), 34);
        Tick(*gate, shown);
        QCOMPARE(shown.last(), 35);
    }

    void refusedSplitLeavesTheBannerPlaying_data()
    {
        QTest::addColumn<QString>("customSize");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("custom size not a number") << QStringLiteral("abc") << QString();
        QTest::newRow("part not smaller than the file")
            << QString() << QStringLiteral("The size selected for partial files MUST be smaller than the source file.");
    }
    void refusedSplitLeavesTheBannerPlaying()
    {
        QFETCH(QString, customSize);
        QFETCH(QString, dialog);
        darvolt::FakePlatform platform;
        platform.addFile("/data/report.doc", std::string(5000, 'r'));
        DialogRecorder dialogs;
        QList<int> shown;
        TForm4 form(&platform);
        form.SetArguments({QStringLiteral("/data/report.doc")});
        TRxGIFAnimator &banner = Banner(form);
        const auto gate = Gate(form);
        connect(&banner, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << banner.FrameIndex(); });
        QSignalSpy stops(&banner, &TRxGIFAnimator::OnStop);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Tick(*gate, shown);
        if (!customSize.isEmpty()) {
            QTest::mouseClick(form.Controls().RadioButton2, Qt::LeftButton);
            form.Controls().Edit2->setText(customSize);
        }
        QTest::mouseClick(form.Controls().FlatSpeedButton1, Qt::LeftButton);
        QCOMPARE(dialogs.texts(TMsgDlgKind::Error), dialog.isEmpty() ? QStringList() : QStringList{dialog});
        QCOMPARE(stops.count(), 0);
        QVERIFY(banner.Animate());
        QCOMPARE(banner.FrameIndex(), 1);
        Tick(*gate, shown);
        QCOMPARE(shown, (QList<int>{1, 2}));
    }

    void destroyingTheWindowStopsTheBanner()
    {
        darvolt::FakePlatform platform;
        QList<int> shown;
        int stops = 0;
        auto form = std::make_unique<TForm4>(&platform);
        form->SetArguments({});
        TRxGIFAnimator &banner = Banner(*form);
        const auto gate = Gate(*form);
        connect(&banner, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << banner.FrameIndex(); });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        Tick(*gate, shown);
        connect(&banner, &TRxGIFAnimator::OnStop, this, [&] { ++stops; });
        const std::weak_ptr<TTimerThread> worker = banner.Timer().Worker();
        QTRY_COMPARE(gate->Sleeping(), 1);
        form.reset();
        QCOMPARE(stops, 1);
        // The worker ends on its own once its sleep is over, without a tick.
        gate->Open();
        QTRY_VERIFY(worker.expired());
        QCOMPARE(shown, QList<int>{1});
    }

    void linkAreaCoversTheBannerButItsRightAndBottomEdges_data()
    {
        QTest::addColumn<QPoint>("point"); // in the banner strip
        QTest::addColumn<bool>("link");
        QTest::newRow("left end") << QPoint(2, 20) << true;
        QTest::newRow("middle") << QPoint(190, 20) << true;
        QTest::newRow("top left of the link") << QPoint(1, 3) << true;
        QTest::newRow("bottom right of the link") << QPoint(380, 36) << true;
        QTest::newRow("right edge of the banner") << QPoint(384, 20) << false;
        QTest::newRow("bottom edge of the banner") << QPoint(100, 38) << false;
        QTest::newRow("bottom right corner") << QPoint(387, 38) << false;
    }
    void linkAreaCoversTheBannerButItsRightAndBottomEdges()
    {
        QFETCH(QPoint, point);
        QFETCH(bool, link);
        darvolt::FakePlatform platform;
        DesktopRecorder desktop;
        DialogRecorder dialogs;
        TForm4 form(&platform);
        form.SetArguments({});
        Gate(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const Ui::TForm4 &ui = form.Controls();
        QWidget *under = ui.Panel3->childAt(point);
        QCOMPARE(under, link ? static_cast<QWidget *>(ui.ProUrlImage1) : static_cast<QWidget *>(ui.RxGIFAnimator1));

        // The pointer takes the hand over the link and the arrow elsewhere.
        // The pointer comes from the status bar, so that it enters the
        // banner strip the way a real one would.
        QWindow *window = form.windowHandle();
        const QPoint inWindow = window->mapFromGlobal(ui.Panel3->mapToGlobal(point));
        QTest::mouseMove(window, window->mapFromGlobal(ui.StatusBar1->mapToGlobal(QPoint(50, 10))));
        QTest::mouseMove(window, inWindow);
        QTRY_COMPARE(window->cursor().shape(), link ? Qt::BitmapCursor : Qt::ArrowCursor);
        if (link)
            QCOMPARE(window->cursor().hotSpot(), CursorById(crHandPoint).hotSpot());

        // A click there opens the product's page, and only that.
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, inWindow);
        QCOMPARE(desktop.links, link ? QStringList{QStringLiteral("https://ombrix.example.org/")} : QStringList());
        QVERIFY(dialogs.shown.empty());
        QVERIFY(form.isVisible());
        QVERIFY(Banner(form).Animate());
        QCOMPARE(ui.FilenameEdit1->text(), QString());
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Banner)
#include "tst_form4banner.moc"
