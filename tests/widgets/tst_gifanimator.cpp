#include "widgets/gifanimator.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "widgets/rxtimer.h"

#include "tst_gifanimatorimages.h"
#include "tst_rxtimergate.h"

#include <QtTest>

using namespace darvolt;

using namespace animtest;

class tst_GifAnimator : public QObject
{
    Q_OBJECT

private:
    std::vector<std::shared_ptr<TickGate>> m_gates;

    std::shared_ptr<TickGate> Gate(TRxGIFAnimator &animator)
    {
        m_gates.push_back(TickGate::On(*animator.Timer().Worker()));
        return m_gates.back();
    }

private slots:
    void cleanup()
    {
        for (const auto &gate : m_gates)
            gate->Open();
        m_gates.clear();
    }

    void newAnimatorHasItsDefaults()
    {
        TRxGIFAnimator animator;
        QCOMPARE(animator.Animate(), false);
        QCOMPARE(animator.AutoSize(), true);
        QCOMPARE(animator.Center(), false);
        QCOMPARE(animator.FrameIndex(), 0);
        QCOMPARE(animator.Loop(), true);
        QCOMPARE(animator.Stretch(), false);
        QCOMPARE(animator.Transparent(), true);
        QCOMPARE(animator.ImageResource(), QString());
        QCOMPARE(animator.size(), QSize(105, 105));
        QVERIFY(animator.Image().Empty());
        QCOMPARE(animator.PaletteGraphic(), &animator.Image());
        // The timer: threaded, synchronised, enabled, no handler.
        QVERIFY(animator.Timer().Threaded());
        QVERIFY(animator.Timer().SyncEvent());
        QVERIFY(animator.Timer().Enabled());
        QVERIFY(!animator.Timer().OnTimer());
        QCOMPARE(animator.Timer().parent(), &animator);
        // The same through the meta-object, as a layout sees them.
        QCOMPARE(animator.property("Transparent").toBool(), true);
        QCOMPARE(animator.property("FrameIndex").toInt(), 0);
    }

    void frameIndexIgnoresIndicesOutsideTheFrames_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("frame count") << 3;
        QTest::newRow("beyond") << 7;
        QTest::newRow("minus one") << -1;
        QTest::newRow("current") << 0;
    }

    void frameIndexIgnoresIndicesOutsideTheFrames()
    {
        QFETCH(int, index);
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        QSignalSpy changed(&animator, &TRxGIFAnimator::OnFrameChanged);
        animator.setFrameIndex(index);
        QCOMPARE(animator.FrameIndex(), 0);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(animator.Timer().Interval(), 30u);
    }

    void frameIndexSetsTheFrameAndItsDelay()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        QSignalSpy changed(&animator, &TRxGIFAnimator::OnFrameChanged);
        animator.setFrameIndex(2);
        QCOMPARE(animator.FrameIndex(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().value<QObject *>(), &animator);
        QCOMPARE(animator.Timer().Interval(), 70u);
    }

    void frameDelayRules_data()
    {
        QTest::addColumn<QList<int>>("delays");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        QTest::newRow("own delay") << QList<int>{40, 250} << 1 << 250;
        QTest::newRow("zero delay gives 1 ms") << QList<int>{0, 0} << 0 << 1;
        QTest::newRow("one frame never ticks") << QList<int>{100} << 0 << 0;
        QTest::newRow("empty image") << QList<int>{} << 0 << 0;
    }

    void frameDelayRules()
    {
        QFETCH(QList<int>, delays);
        QFETCH(int, index);
        QFETCH(int, expected);
        auto image = std::make_unique<TGIFImage>();
        if (delays.size() == 2)
            image = MakeImage({delays[0], delays[1]});
        else if (delays.size() == 1)
            image = MakeImage({delays[0]});
        TRxGIFAnimator animator;
        animator.setImage(*image);
        animator.setFrameIndex(index);
        QCOMPARE(animator.FrameDelay(), expected);
    }

    void loadingAnImageResetsFrameAndIntervalButNotTheAnimation()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        animator.setFrameIndex(2);
        QSignalSpy change(&animator, &TRxGIFAnimator::OnChange);
        QSignalSpy start(&animator, &TRxGIFAnimator::OnStart);
        animator.setImage(*MakeImage({20, 60}));
        QCOMPARE(change.count(), 1);
        QCOMPARE(animator.FrameIndex(), 0);
        QCOMPARE(animator.Timer().Interval(), 20u);
        QCOMPARE(animator.Animate(), false);
        QCOMPARE(start.count(), 0);
    }

    void animateSwitchesTheTimerHandler()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50}));
        QSignalSpy start(&animator, &TRxGIFAnimator::OnStart);
        QSignalSpy stop(&animator, &TRxGIFAnimator::OnStop);
        Gate(animator);
        animator.setAnimate(true);
        animator.setAnimate(true);
        QVERIFY(animator.Animate());
        QVERIFY(animator.Timer().OnTimer());
        QVERIFY(animator.Timer().Active());
        QCOMPARE(start.count(), 1);
        animator.setAnimate(false);
        animator.setAnimate(false);
        QVERIFY(!animator.Timer().OnTimer());
        QVERIFY(!animator.Timer().Enabled());
        QVERIFY(animator.Timer().Worker()->Suspended());
        QCOMPARE(stop.count(), 1);
    }

    void everyFrameStaysUpForItsOwnDelay()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        const auto gate = Gate(animator);
        animator.setAnimate(true);
        for (int tick = 1; tick <= 4; ++tick) {
            QTRY_COMPARE(gate->Sleeping(), 1);
            gate->Release();
            QTRY_COMPARE(animator.FrameIndex(), tick % 3);
        }
        QTRY_COMPARE(gate->Sleeping(), 1);
        QCOMPARE(gate->Intervals(), (std::vector<std::uint32_t>{30, 50, 70, 30, 50}));
    }

    void withoutLoopThreeFramesShowOneTwoZeroAndStop()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        animator.setLoop(false);
        QList<int> shown;
        connect(&animator, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << animator.FrameIndex(); });
        QSignalSpy stop(&animator, &TRxGIFAnimator::OnStop);
        const auto gate = Gate(animator);
        animator.setAnimate(true);
        for (int tick = 0; tick < 3; ++tick) {
            QTRY_COMPARE(gate->Sleeping(), 1);
            gate->Release();
            QTRY_COMPARE(shown.size(), tick + 1);
        }
        QCOMPARE(shown, (QList<int>{1, 2, 0}));
        QTRY_COMPARE(stop.count(), 1);
        QVERIFY(!animator.Animate());
        QVERIFY(animator.Timer().Worker()->Suspended());
        QCOMPARE(animator.FrameIndex(), 0);
    }

    void nextFrameNeedsAVisibleControlAndTwoFrames()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30}));
        QSignalSpy changed(&animator, &TRxGIFAnimator::OnFrameChanged);
        animator.NextFrame(&animator.Timer());
        QCOMPARE(changed.count(), 0);

        animator.setImage(*MakeImage({30, 50}));
        animator.hide();
        animator.NextFrame(&animator.Timer());
        QCOMPARE(changed.count(), 0);
        animator.setVisible(true);
        animator.NextFrame(&animator.Timer());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(animator.FrameIndex(), 1);
        QCOMPARE(animator.Timer().Interval(), 50u);
    }

    void intervalFollowsTheFrameEvenWhenTheNotificationThrows()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        connect(&animator, &TRxGIFAnimator::OnFrameChanged, this, [] { throw std::runtime_error("handler failed"); });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, animator.NextFrame(&animator.Timer()));
        QCOMPARE(animator.FrameIndex(), 1);
        QCOMPARE(animator.Timer().Interval(), 50u);
    }

    void destroyingTheAnimatorFromItsFrameEventIsSafe()
    {
        auto *animator = new TRxGIFAnimator;
        animator->setImage(*MakeImage({30, 50}));
        const QPointer<TRxGIFAnimator> watch(animator);
        connect(animator, &TRxGIFAnimator::OnFrameChanged, this, [animator] { delete animator; });
        animator->NextFrame(nullptr);
        QVERIFY(watch.isNull());
    }

    void emptyImageTicksWithoutChangingAnything()
    {
        TRxGIFAnimator animator;
        QSignalSpy changed(&animator, &TRxGIFAnimator::OnFrameChanged);
        const auto gate = Gate(animator);
        animator.setAnimate(true);
        QVERIFY(animator.Timer().Active());
        QCOMPARE(animator.Timer().Interval(), 1000u);
        QTRY_COMPARE(gate->Sleeping(), 1);
        gate->Release();
        QTRY_COMPARE(gate->Intervals().size(), std::size_t(2));
        QCOMPARE(gate->Intervals().front(), 1000u);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(animator.FrameIndex(), 0);
    }

    void singleFrameImageNeverStartsTheTimer()
    {
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({100}));
        animator.setAnimate(true);
        QVERIFY(animator.Animate());
        QCOMPARE(animator.Timer().Interval(), 0u);
        QVERIFY(!animator.Timer().Active());
        QVERIFY(animator.Timer().Worker()->Suspended());
    }

    void newImageResizesAnAutoSizeControl()
    {
        TRxGIFAnimator animator;
        animator.move(7, 9);
        animator.setImage(*MakeImage({30, 50}));
        QCOMPARE(animator.geometry(), QRect(7, 9, 8, 4));

        TRxGIFAnimator fixed;
        fixed.setAutoSize(false);
        fixed.setImage(*MakeImage({30, 50}));
        QCOMPARE(fixed.size(), QSize(105, 105));
        fixed.setAutoSize(true);
        QCOMPARE(fixed.size(), QSize(8, 4));
    }

    void storedImageKeepsTheLayoutSize()
    {
        TRxGIFAnimator animator;
        animator.setGeometry(3, 3, 385, 36);
        LoadBanner(animator);
        QCOMPARE(animator.geometry(), QRect(3, 3, 385, 36));
        QCOMPARE(animator.Image().FrameCount(), 44);
        QCOMPARE(animator.Image().LogicalWidth(), 393);
        QCOMPARE(animator.FrameIndex(), 0);
        QCOMPARE(animator.Timer().Interval(), 40u);
        QVERIFY(!animator.Loading());
    }

    void sizeChangeOfAShownControlRefitsIt()
    {
        QWidget parent;
        auto *animator = new TRxGIFAnimator(&parent);
        animator->setImage(*MakeImage({30, 50}));
        parent.show();
        animator->resize(50, 60);
        QCOMPARE(animator->size(), QSize(8, 4));
        animator->setAutoSize(false);
        animator->resize(50, 60);
        QCOMPARE(animator->size(), QSize(50, 60));
    }

    void imageResourceProperty()
    {
        TRxGIFAnimator animator;
        animator.resize(385, 36);
        QVERIFY(animator.setProperty("ImageResource", QString::fromLatin1(BannerResource)));
        QCOMPARE(animator.Image().FrameCount(), 44);
        QCOMPARE(animator.size(), QSize(385, 36));
        animator.setImageResource(QString());
        QVERIFY(animator.Image().Empty());
        QCOMPARE(animator.FrameIndex(), -1);
        QCOMPARE(animator.size(), QSize(385, 36));
    }

    void missingResourceRaises()
    {
        TRxGIFAnimator animator;
        try {
            animator.LoadImageResource(QStringLiteral(":/no/such.gifdata"));
            QFAIL("no exception");
        } catch (const EReadError &e) {
            QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Cannot open file \":/no/such.gifdata\"")));
        }
    }

    void truncatedStoredImageLeavesAConsistentControl()
    {
        QFile banner(QString::fromLatin1(BannerResource));
        QVERIFY(banner.open(QIODevice::ReadOnly));
        QByteArray stored = banner.readAll();
        stored.truncate(stored.size() / 2);
        QBuffer buffer(&stored);
        buffer.open(QIODevice::ReadOnly);
        TRxGIFAnimator animator;
        animator.setImage(*MakeImage({30, 50, 70}));
        animator.setFrameIndex(2);
        QVERIFY_THROWS_EXCEPTION(EReadError, animator.ReadImageData(buffer));
        QCOMPARE(animator.FrameIndex(), animator.Image().ActiveFrame);
        QVERIFY(animator.FrameIndex() < animator.Image().FrameCount() || animator.FrameIndex() == -1);
        animator.RenderPicture(); // must not reach past the frames
    }

    void destroyingARunningAnimatorStopsQuietly()
    {
        auto animator = std::make_unique<TRxGIFAnimator>();
        animator->setImage(*MakeImage({1, 1}));
        int stops = 0;
        int frames = 0;
        connect(animator.get(), &TRxGIFAnimator::OnStop, this, [&] { ++stops; });
        connect(animator.get(), &TRxGIFAnimator::OnFrameChanged, this, [&] { ++frames; });
        animator->setAnimate(true);
        QTRY_VERIFY(frames >= 2);
        const std::weak_ptr<TTimerThread> worker = animator->Timer().Worker();
        animator.reset();
        QTRY_VERIFY(worker.expired());
        QCOMPARE(stops, 0);
    }

    void playsTheBannerThroughItsFrames()
    {
        TRxGIFAnimator animator;
        animator.setGeometry(3, 3, 385, 36);
        LoadBanner(animator);
        animator.setStretch(true);
        animator.setTransparent(false);
        QList<int> shown;
        connect(&animator, &TRxGIFAnimator::OnFrameChanged, this, [&] { shown << animator.FrameIndex(); });
        const auto gate = Gate(animator);
        animator.setAnimate(true);
        for (int tick = 0; tick < 45; ++tick) {
            QTRY_COMPARE(gate->Sleeping(), 1);
            gate->Release();
            QTRY_COMPARE(shown.size(), tick + 1);
        }
        QCOMPARE(shown.first(), 1);
        QCOMPARE(shown.at(42), 43);
        QCOMPARE(shown.at(43), 0);
        QCOMPARE(shown.at(44), 1);
        // One pass sleeps 6.88 s in all.
        const std::vector<std::uint32_t> intervals = gate->Intervals();
        std::uint32_t pass = 0;
        for (int i = 0; i < 44; ++i)
            pass += intervals.at(std::size_t(i));
        QCOMPARE(pass, 6880u);
    }
};

QTEST_MAIN(tst_GifAnimator)
#include "tst_gifanimator.moc"
