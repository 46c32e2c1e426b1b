#include "gif/composeframe.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "giftestimage.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QtTest>

using namespace darvolt;

using giftest::FrameSpec;
using giftest::MakeGif;
using giftest::PaletteColor;

namespace {

QString ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

QByteArray Stored(const TGIFImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.WriteData(buffer);
    return bytes;
}

void ReadStored(TGIFImage &image, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    image.ReadData(buffer);
}

// Two frames with keys, delays, a comment and a loop count.
QByteArray TwoFrames()
{
    return MakeGif(4, 3, {FrameSpec{0, 0, 4, 3, 1, {}, 1, -1, 30}, FrameSpec{1, 1, 2, 2, 0, {0, 2, 3, 0}, 1, 0, 120}});
}

} // namespace

class TestGifImage : public QObject
{
    Q_OBJECT

private slots:
    void bitmapDepthFollowsTheColourCount_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("tableSize");
        const int depths[9] = {0, 1, 4, 4, 4, 8, 8, 8, 8};
        for (int bits = 1; bits <= 8; ++bits)
            QTest::addRow("%d colours", 1 << bits) << bits << depths[bits] << (1 << depths[bits]);
    }
    void bitmapDepthFollowsTheColourCount()
    {
        QFETCH(int, bits);
        QFETCH(int, depth);
        QFETCH(int, tableSize);
        TGIFImage image;
        image.ReadGif(MakeGif(3, 2, {FrameSpec{0, 0, 3, 2, 1, {0, 1, 1, 0, 0, 1}}}, bits), true);
        TGIFFrame &frame = *image.Frame(0);
        const QImage &bitmap = frame.Bitmap();
        QCOMPARE(frame.BitmapBits(), depth);
        QCOMPARE(bitmap.format(), depth == 1 ? QImage::Format_Mono : QImage::Format_Indexed8);
        QCOMPARE(bitmap.colorTable().size(), tableSize);
        QCOMPARE(bitmap.pixelIndex(1, 0), 1);
        QCOMPARE(bitmap.pixelIndex(2, 1), 1);
        QCOMPARE(bitmap.pixelIndex(0, 1), 0);
        // Entries the frame's table does not define are grey.
        if (tableSize > (1 << bits))
            QCOMPARE(bitmap.colorTable().at(1 << bits), qRgb(128, 128, 128));
        QCOMPARE(bitmap.colorTable().at(1), PaletteColor(1));
    }

    void sizeIsKnownWithoutDecoding()
    {
        TGIFImage image;
        image.ReadGif(TwoFrames(), false);
        QCOMPARE(image.Frame(1)->Width(), 2);
        QCOMPARE(image.Frame(1)->Height(), 2);
        QVERIFY(!image.Frame(1)->HasBitmap());
        QCOMPARE(image.Width(), 4);
        QCOMPARE(image.LogicalWidth(), 4);
        QCOMPARE(image.LogicalHeight(), 3);
        QVERIFY(image.Transparent());
    }

    void truncatedFrameDecodesAsFarAsItGoes()
    {
        QByteArray gif = MakeGif(40, 40, {FrameSpec{0, 0, 40, 40, 2, {}, 1}}, 8);
        gif.chop(300); // lose the last sub-blocks of pixel data and the trailer
        TGIFImage image;
        image.ReadGif(gif, true);
        TGIFFrame &frame = *image.Frame(0);
        QVERIFY(frame.IsCorrupt);
        QCOMPARE(frame.Bitmap().pixelIndex(0, 0), 2);
        QCOMPARE(frame.Bitmap().pixelIndex(39, 39), 0);
    }

    void hugeFrameIsRefusedWithoutAllocating()
    {
        TGIFImage image;
        const QString error = ErrorOf([&] { image.ReadGif(MakeGif(1, 1, {FrameSpec{0, 0, 9000, 9000, 1, {1}}}), true); });
        QVERIFY2(error.contains("too large"), qPrintable(error));
    }

    void cannotChangeTheSize()
    {
        TGIFImage image;
        QCOMPARE(ErrorOf([&] { image.SetWidth(5); }), QString("Cannot change the Size of a GIF image"));
        QCOMPARE(ErrorOf([&] { image.SetHeight(5); }), QString("Cannot change the Size of a GIF image"));
    }

    void copiesShareTheHeaderAndCompareEqual()
    {
        TGIFImage a, b, c;
        a.ReadGif(TwoFrames(), true);
        b.Assign(&a);
        c.ReadGif(TwoFrames(), true);
        QVERIFY(b.Equals(a));
        QVERIFY(!c.Equals(a));
        QCOMPARE(b.FrameCount(), 2);
        QCOMPARE(b.Frame(1)->EncodedImage.get(), a.Frame(1)->EncodedImage.get());
        QCOMPARE(a.Frame(1)->EncodedImage->RefCount(), 2);
        QCOMPARE(b.LogicalWidth(), 4);
        QCOMPARE(b.ActiveFrame, 0);
        QCOMPARE(b.Frame(1)->DelayMs, std::uint16_t(1200));
        QCOMPARE(ComposeFrame(b, 1), ComposeFrame(a, 1));
    }

    void sharedRecordsOutliveTheirFirstOwner()
    {
        TGIFImage b;
        {
            TGIFImage a;
            a.ReadGif(TwoFrames(), true);
            b.Assign(&a);
        }
        QCOMPARE(b.Frame(1)->EncodedImage->RefCount(), 1);
        QCOMPARE(b.Frame(1)->Bitmap().pixelIndex(1, 0), 2);
    }

    void assignNotifiesOnce()
    {
        TGIFImage a, b;
        a.ReadGif(TwoFrames(), true);
        int changes = 0;
        b.SetOnChange([&](TGIFImage &) { ++changes; });
        b.Assign(&a);
        QCOMPARE(changes, 1);
        QVERIFY(b.Modified());
        b.Assign(static_cast<const TGIFImage *>(nullptr));
        QCOMPARE(changes, 2);
        QVERIFY(b.Empty());
        QCOMPARE(b.FrameCount(), 0);
    }

    void frameAssignAcrossImages()
    {
        TGIFImage a, b;
        a.ReadGif(TwoFrames(), true);
        b.ReadGif(TwoFrames(), true);
        TGIFFrame &target = *b.Frame(0);
        target.Assign(a.Frame(1));
        QVERIFY(target.HasLocalColors); // another image's frame brings its colours along
        QCOMPARE(target.FrameLeft, 1);
        QCOMPARE(target.KeyColor, TColor(0xFFFFFF));
        TGIFFrame &sibling = *b.Frame(1);
        sibling.Assign(b.Frame(0));
        QVERIFY(sibling.HasLocalColors == b.Frame(0)->HasLocalColors);
        target.Assign(static_cast<const TGIFFrame *>(nullptr));
        QCOMPARE(target.Width(), 0);
        QCOMPARE(target.KeyColor, clNone);
    }

    void frameAssignUpdatesTheLogicalSize()
    {
        TGIFImage image;
        image.ReadGif(TwoFrames(), true);
        QImage wide(10, 2, QImage::Format_RGB32);
        wide.fill(Qt::red);
        image.Frame(1)->Assign(wide); // a plain bitmap starts the frame afresh, at (0, 0)
        QCOMPARE(image.LogicalWidth(), 10);
        QCOMPARE(image.LogicalHeight(), 3);
    }

    void assignFromAFrameAndFromABitmap()
    {
        TGIFImage a, b;
        a.ReadGif(TwoFrames(), true);
        b.Assign(a.Frame(1));
        QCOMPARE(b.FrameCount(), 1);
        QCOMPARE(b.GifVersion, 1);
        QCOMPARE(b.HeaderData().GlobalColors, a.HeaderData().GlobalColors);
        QImage picture(3, 2, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        b.Assign(picture);
        QCOMPARE(b.FrameCount(), 1);
        QCOMPARE(b.LogicalWidth(), 3);
        b.AddFrame(picture);
        QCOMPARE(b.GifVersion, 2);
        QCOMPARE(b.ActiveFrame, 1);
        QImage out;
        b.AssignTo(out);
        QCOMPARE(out.size(), QSize(3, 2));
        TGIFImage empty;
        empty.AssignTo(out);
        QVERIFY(out.isNull());
    }

    void bitmapOfAnImageWithoutFramesAddsOne()
    {
        TGIFImage image;
        QVERIFY(image.Bitmap().isNull());
        QCOMPARE(image.FrameCount(), 1);
        QCOMPARE(image.ActiveFrame, 0);
        QVERIFY(image.Empty());
        QVERIFY(image.Palette().isEmpty());
    }

    void commentIsCreatedOnRequest()
    {
        TGIFImage image;
        image.ReadGif(TwoFrames(), true);
        TGIFFrame &frame = *image.Frame(0);
        QVERIFY(frame.Comment().empty());
        frame.Comment().push_back("note");
        QCOMPARE(frame.Comment(), std::vector<std::string>{"note"});
    }

    void storedFormRoundTrips()
    {
        TGIFImage a;
        a.ReadGif(TwoFrames(), true);
        a.LoopFlag = true;
        a.LoopCount = 7;
        a.CommentLines() = {"made", "\r\n\r\n", "here"};
        a.Frame(0)->Comment().push_back("first");
        const QByteArray stored = Stored(a);
        const auto count = qFromLittleEndian<quint32>(stored.constData());
        QCOMPARE(qsizetype(count), stored.size() - 4);

        TGIFImage b;
        ReadStored(b, stored);
        QCOMPARE(b.FrameCount(), 2);
        QCOMPARE(b.LoopCount, std::uint16_t(7));
        QCOMPARE(b.CommentLines(), a.CommentLines());
        QCOMPARE(b.Frame(0)->Comment(), std::vector<std::string>{"first"});
        QCOMPARE(b.Frame(1)->DelayMs, a.Frame(1)->DelayMs);
        QCOMPARE(b.Frame(1)->KeyColor, a.Frame(1)->KeyColor);
        QCOMPARE(b.BackColor, a.BackColor);
        QCOMPARE(ComposeFrame(b, 1), ComposeFrame(a, 1));
        QCOMPARE(Stored(b), stored);
    }

    void bitmapFramesAreStoredToo()
    {
        QImage picture(5, 4, QImage::Format_RGB32);
        picture.fill(qRgb(10, 200, 30));
        picture.setPixel(2, 1, qRgb(250, 0, 0));
        TGIFImage a, b;
        a.Assign(picture);
        ReadStored(b, Stored(a));
        const QImage composed = ComposeFrame(b, 0);
        QCOMPARE(composed.pixel(2, 1) | 0xFF000000u, qRgb(250, 0, 0));
        QCOMPARE(composed.pixel(4, 3) | 0xFF000000u, qRgb(10, 200, 30));
    }

    void storedFormWithShortCountIsAReadError()
    {
        QByteArray stored = Stored([] {
            static TGIFImage a;
            a.ReadGif(TwoFrames(), true);
            return std::cref(a);
        }().get());
        stored.chop(1);
        TGIFImage b;
        QCOMPARE(ErrorOf([&] { ReadStored(b, stored); }), QString("Stream read error"));
        // A count far beyond the data is refused without allocating it.
        QCOMPARE(ErrorOf([&] { ReadStored(b, QByteArray("\xff\xff\xff\x7f" "GIF89a", 10)); }),
                 QString("Stream read error"));
    }

    void clipboardRoundTrip()
    {
        TGIFImage a, b;
        a.ReadGif(TwoFrames(), true);
        a.SaveToClipboard();
        QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(GifClipboardMimeType));
        b.LoadFromClipboard();
        QCOMPARE(b.FrameCount(), 2);
        QCOMPARE(ComposeFrame(b, 1), ComposeFrame(a, 1));

        QImage picture(2, 2, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QGuiApplication::clipboard()->setImage(picture);
        b.LoadFromClipboard();
        QCOMPARE(b.FrameCount(), 1);
        QCOMPARE(b.Width(), 2);
    }

    void decodeProgressReachesTheImage()
    {
        TGIFImage image;
        std::vector<int> stages;
        image.OnDecodeProgress = [&](int stage, int, const std::string &) { stages.push_back(stage); };
        image.ReadGif(TwoFrames(), true);
        QVERIFY(stages.size() >= 3);
        QCOMPARE(stages.front(), 0);
        QCOMPARE(stages.back(), 2);
    }

    void drawHonoursTheKey()
    {
        TGIFImage image;
        image.ReadGif(MakeGif(2, 1, {FrameSpec{0, 0, 2, 1, 0, {0, 3}, 1, 0}}), true);
        QImage canvas(2, 1, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        {
            QPainter painter(&canvas);
            image.Draw(painter, QRect(0, 0, 2, 1));
        }
        QCOMPARE(canvas.pixel(0, 0) | 0xFF000000u, qRgb(0, 0, 0));
        QCOMPARE(canvas.pixel(1, 0) | 0xFF000000u, PaletteColor(3));
    }
};

QTEST_MAIN(TestGifImage)
#include "tst_gifimage.moc"
