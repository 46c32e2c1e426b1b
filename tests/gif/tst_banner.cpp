#include "bannergen.h"
#include "gif/composeframe.h"
#include "gif/gifimage.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>

#include <numeric>

using namespace darvolt;

namespace {

QByteArray Committed()
{
    QFile file(QStringLiteral(DARVOLT_BANNER_FILE));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool IsFull(int i) { return i == 0 || i == 26 || i == 27 || i == 42 || i == 43; }
bool IsSinglePixel(int i) { return (i >= 9 && i <= 15) || (i >= 18 && i <= 22) || (i >= 34 && i <= 36); }

} // namespace

class TestBanner : public QObject
{
    Q_OBJECT

    TGIFImage Banner;

private slots:
    void initTestCase()
    {
        QByteArray stored = Committed();
        QVERIFY2(!stored.isEmpty(), DARVOLT_BANNER_FILE);
        QBuffer buffer(&stored);
        buffer.open(QIODevice::ReadOnly);
        Banner.ReadData(buffer);
        QVERIFY(buffer.atEnd());
    }

    void committedFileIsWhatTheGeneratorMakes()
    {
        QCOMPARE(Committed(), BannerStoredForm());
    }

    void storedFormIsCountThenGif89a()
    {
        const QByteArray stored = Committed();
        QCOMPARE(qsizetype(qFromLittleEndian<quint32>(stored.constData())), stored.size() - 4);
        QCOMPARE(stored.mid(4, 6), QByteArray("GIF89a"));
        QCOMPARE(stored.back(), ';');
    }

    void headerValues()
    {
        QCOMPARE(Banner.GifVersion, 2);
        QCOMPARE(Banner.ScreenWidth(), 393);
        QCOMPARE(Banner.ScreenHeight(), 40);
        QCOMPARE(Banner.HeaderData().GlobalColors.Count, 256u);
        QCOMPARE(Banner.BackColor, TColor(Banner.HeaderData().GlobalColors.ColorAt(55)));
        QVERIFY(Banner.LoopFlag);
        QCOMPARE(int(Banner.LoopCount), 0);
        QVERIFY(Banner.CommentLines().empty());
        QCOMPARE(Banner.FrameCount(), 44);
        // The transparent colour is held by entry 55 alone.
        const GifColorTable &table = Banner.HeaderData().GlobalColors;
        for (unsigned i = 0; i < 256; ++i)
            QVERIFY(i == 55 || table.ColorAt(i) != table.ColorAt(55));
    }

    void everyFrameHasOneGraphicControl()
    {
        const TColor key = Banner.HeaderData().GlobalColors.ColorAt(55);
        for (int i = 0; i < Banner.FrameCount(); ++i) {
            const TGIFFrame &frame = *Banner.Frame(i);
            QCOMPARE(frame.ExtensionList.size(), std::size_t(1));
            const TExtension &gce = frame.ExtensionList.front();
            QCOMPARE(int(gce.ExtKind), int(ekGraphicControl));
            QCOMPARE(int(gce.ControlFlags()), 0x05); // leave in place, transparency on
            QCOMPARE(int(gce.TransparentIndex()), 55);
            QCOMPARE(frame.KeyColor, key);
            QCOMPARE(int(frame.Disposal), 1);
            QVERIFY(!frame.HasLocalColors);
            QVERIFY(!frame.IsInterlaced);
            QCOMPARE(int(frame.EncodedImage->CodeStream.front()), 8);
        }
    }

    void delaysAddUpToOnePass()
    {
        // Hundredths of a second, by ranges of frames.
        const struct { int first, last, delay; } ranges[] = {{0, 0, 4},     {1, 7, 25},   {8, 15, 5},
                                                             {16, 16, 4},   {17, 22, 10}, {23, 33, 20},
                                                             {34, 35, 10},  {36, 42, 20}, {43, 43, 25}};
        QList<int> expected;
        for (const auto &r : ranges)
            for (int i = r.first; i <= r.last; ++i)
                expected.append(r.delay);
        QCOMPARE(expected.size(), 44);
        QCOMPARE(BannerDelays(), expected);
        int total = 0;
        for (int i = 0; i < Banner.FrameCount(); ++i) {
            QCOMPARE(int(Banner.Frame(i)->DelayMs), expected[i] * 10);
            total += Banner.Frame(i)->DelayMs;
        }
        QCOMPARE(total, 6880);
    }

    void frameRectangles()
    {
        for (int i = 0; i < Banner.FrameCount(); ++i) {
            const TGIFFrame &frame = *Banner.Frame(i);
            const QRect r(frame.FrameLeft, frame.FrameTop, frame.Width(), frame.Height());
            if (IsFull(i))
                QCOMPARE(r, QRect(0, 0, 393, 40));
            else if (IsSinglePixel(i))
                QCOMPARE(r, QRect(0, 0, 1, 1));
            else if (i == 33)
                QCOMPARE(r, QRect(0, 6, 393, 34));
            else
                QVERIFY2(QRect(0, 0, 393, 40).contains(r) && r != QRect(0, 0, 393, 40) && r != QRect(0, 0, 1, 1),
                         qPrintable(QString("frame %1").arg(i)));
        }
    }

    void composedFramesShowNoTransparentColour()
    {
        const QRgb key = ColorToRGB(Banner.Frame(0)->KeyColor).rgb() | 0xFF000000u;
        for (int i = 0; i < Banner.FrameCount(); ++i) {
            const QImage picture = ComposeFrame(Banner, i);
            QCOMPARE(picture.size(), QSize(393, 40));
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 393; ++x)
                    QVERIFY2((picture.pixel(x, y) | 0xFF000000u) != key, qPrintable(QString("frame %1").arg(i)));
            QVERIFY(!Banner.Frame(i)->IsCorrupt);
        }
        // Every frame stays decoded, far inside the budget of held pixels.
        for (int i = 0; i < Banner.FrameCount(); ++i)
            QVERIFY(Banner.Frame(i)->HasBitmap());
        QVERIFY(Banner.HeldPixelBytes() * 100 < Banner.PixelBudget());
    }

    void holdFramesKeepThePicture()
    {
        for (int i = 1; i < Banner.FrameCount(); ++i) {
            if (IsSinglePixel(i))
                QCOMPARE(ComposeFrame(Banner, i), ComposeFrame(Banner, i - 1));
        }
        // The loop comes back to where it started.
        QCOMPARE(ComposeFrame(Banner, 43), ComposeFrame(Banner, 0));
    }
};

QTEST_MAIN(TestBanner)
#include "tst_banner.moc"
