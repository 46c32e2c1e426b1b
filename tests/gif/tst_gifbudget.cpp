// One budget of held pixels over all frames of an image and its composed
// screen: frames used longest ago are let go and decoded again, and a step
// that alone needs more than the budget fails.

#include "gif/composeframe.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "giftestimage.h"

#include <QtTest>

using namespace darvolt;

using giftest::FrameSpec;
using giftest::MakeGif;

namespace {

// Eight frames of 200 x 200 on a screen of that size, each a sparse pattern
// of its own colour over the transparent index 0, so that every composed
// picture shows every frame drawn before it.
QByteArray EightFrames()
{
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 8; ++i) {
        FrameSpec f{0, 0, 200, 200, 0, {}, 1, 0};
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                f.pixels.push_back((x + 3 * y + 5 * i) % 7 == 0 ? std::uint8_t(i + 1) : 0);
        frames.push_back(f);
    }
    return MakeGif(200, 200, frames, 4);
}

int FramesHeld(const TGIFImage &image)
{
    int held = 0;
    for (int i = 0; i < image.FrameCount(); ++i)
        held += image.Frame(i)->HasBitmap();
    return held;
}

QString ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const EInvalidGraphicOperation &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

class TestGifBudget : public QObject
{
    Q_OBJECT

    TGIFImage Unlimited; // the same picture under the default budget

private slots:
    void initTestCase()
    {
        Unlimited.ReadGif(EightFrames(), true);
        for (int i = 0; i < 8; ++i)
            Unlimited.Frame(i)->Bitmap();
        QCOMPARE(FramesHeld(Unlimited), 8);
        QCOMPARE(Unlimited.PixelBudget(), GifMessages::MaxHeldBytes);
    }

    void framesUsedLongestAgoAreLetGoAndDecodedAgain()
    {
        TGIFImage image;
        image.SetPixelBudget(300'000); // room for a few frames beside the decoder's work
        image.ReadGif(EightFrames(), true);
        for (int i = 1; i < 8; ++i) {
            QCOMPARE(image.Frame(i)->Bitmap(), Unlimited.Frame(i)->Bitmap());
            QCOMPARE(image.Frame(0)->Bitmap(), Unlimited.Frame(0)->Bitmap()); // kept in use, so kept
            QVERIFY(image.HeldPixelBytes() <= image.PixelBudget());
        }
        QVERIFY(image.Frame(0)->HasBitmap());
        QVERIFY(!image.Frame(1)->HasBitmap());
        QVERIFY(FramesHeld(image) < 8);
        // Frame 1 comes back as it was.
        QCOMPARE(image.Frame(1)->Bitmap(), Unlimited.Frame(1)->Bitmap());
    }

    void composingStaysWithinTheBudget()
    {
        TGIFImage image;
        image.SetPixelBudget(400'000); // the screen takes 160 000 of it
        image.ReadGif(EightFrames(), true);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(ComposeFrame(image, i), ComposeFrame(Unlimited, i));
            QVERIFY(image.HeldPixelBytes() <= image.PixelBudget());
        }
        QVERIFY(FramesHeld(image) < 8);
    }

    void stepThatAloneNeedsMoreFails_data()
    {
        QTest::addColumn<int>("budget");
        QTest::addColumn<bool>("compose");
        QTest::addColumn<QString>("error");
        const QString message = "GIF %1 of 200 x 200 pixels is too large (at most %2 KB of pixels at once)";
        QTest::newRow("frame") << 100'000 << false << message.arg("frame").arg(97);
        QTest::newRow("screen") << 150'000 << true << message.arg("logical screen").arg(146);
        QTest::newRow("frame beside the screen") << 250'000 << true << message.arg("frame").arg(244);
    }
    void stepThatAloneNeedsMoreFails()
    {
        QFETCH(int, budget);
        QFETCH(bool, compose);
        QFETCH(QString, error);
        TGIFImage image;
        image.ReadGif(EightFrames(), false);
        image.SetPixelBudget(budget);
        QCOMPARE(ErrorOf([&] { compose ? void(ComposeFrame(image, 7)) : void(image.Frame(7)->Bitmap()); }), error);
        QVERIFY(image.HeldPixelBytes() <= budget);
        QVERIFY(!image.Frame(7)->HasBitmap());
        // With room again, the same step works.
        image.SetPixelBudget(GifMessages::MaxHeldBytes);
        QCOMPARE(ComposeFrame(image, 7), ComposeFrame(Unlimited, 7));
    }

    void plainBitmapsCountButAreNeverLetGo()
    {
        QImage plain(200, 200, QImage::Format_RGB32);
        plain.fill(Qt::blue);
        TGIFImage image;
        image.AddFrame(plain);
        image.AddFrame(plain);
        image.SetPixelBudget(100'000);
        QCOMPARE(FramesHeld(image), 2);
        QCOMPARE(image.HeldPixelBytes(), 2 * plain.sizeInBytes());
        // A decoded frame copied in does not fit beside them and is let go.
        image.AddFrame(*Unlimited.Frame(3));
        QCOMPARE(FramesHeld(image), 2);
        QVERIFY(ErrorOf([&] { image.Frame(2)->Bitmap(); }).contains("too large"));
        image.Reset();
        QCOMPARE(image.HeldPixelBytes(), 0);
    }
};

QTEST_APPLESS_MAIN(TestGifBudget)
#include "tst_gifbudget.moc"
