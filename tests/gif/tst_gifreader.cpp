#include "gif/giferrors.h"
#include "gif/gifimage.h"
#include "gifbytes.h"

#include <QBuffer>
#include <QtTest>

using namespace darvolt;

using namespace gifbytes;

namespace {

// GIF89a, logical screen 2 x 2, packed 0x81 (global table of 4, 2 bits),
// background index 1, aspect byte 0; then the table: black, red, green, blue.
QByteArray Head(const char *version = "GIF89a", int background = 1)
{
    return QByteArray(version) + Word(2) + Word(2) + Bytes({0x81, background, 0}) +
           Bytes({0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
}

// A 2 x 2 image block at (0, 0), no local table, pixels 0 1 / 2 3.
QByteArray Image(int left = 0, int top = 0)
{
    return Bytes({0x2C}) + Word(left) + Word(top) + Word(2) + Word(2) + Bytes({0x00}) +
           CodeStream(2, PackCodes(LiteralCodes({0, 1, 2, 3}, 2, true)));
}

// Graphic control: block size 4, packed, delay, transparent index, terminator.
QByteArray Gce(int packed, int delay, int index)
{
    return Bytes({0x21, 0xF9, 4, packed}) + Word(delay) + Bytes({index, 0});
}

QByteArray Comment(std::initializer_list<const char *> blocks)
{
    QByteArray out = Bytes({0x21, 0xFE});
    for (const char *b : blocks)
        out += char(qstrlen(b)) + QByteArray(b);
    return out + '\0';
}

QByteArray Loop(int count)
{
    return Bytes({0x21, 0xFF, 11}) + QByteArray("NETSCAPE2.0") + Bytes({3, 1}) + Word(count) + Bytes({0});
}

QString ReadError(TGIFImage &image, const QByteArray &bytes, bool decodeNow = true)
{
    try {
        image.ReadGif(bytes, decodeNow);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

} // namespace

class TestGifReader : public QObject
{
    Q_OBJECT

private slots:
    void signatureAndVersion_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<int>("version");
        QTest::newRow("GIF87a") << QByteArray("GIF87a") << 1;
        QTest::newRow("GIF89a") << QByteArray("GIF89a") << 2;
        QTest::newRow("gif89A") << QByteArray("gif89A") << 2;
        QTest::newRow("GiF87A") << QByteArray("GiF87A") << 1;
        QTest::newRow("GIF90a") << QByteArray("GIF90a") << 0;
        QTest::newRow("GIX89a") << QByteArray("GIX89a") << 0;
        QTest::newRow("short") << QByteArray("GI") << 0;
    }
    void signatureAndVersion()
    {
        QFETCH(QByteArray, signature);
        QFETCH(int, version);
        TGIFImage image;
        const QString error = ReadError(image, signature + Head().mid(6) + Image() + ';');
        if (version == 0) {
            QCOMPARE(error, QString("Unknown GIF version"));
        } else {
            QCOMPARE(error, QString());
            QCOMPARE(image.GifVersion, version);
            QCOMPARE(image.FrameCount(), 1);
        }
    }

    void emptyStreamGivesEmptyImageAndNotifies()
    {
        TGIFImage image;
        int changes = 0;
        image.SetOnChange([&](TGIFImage &) { ++changes; });
        image.ReadGif(QByteArray(), true);
        QCOMPARE(image.FrameCount(), 0);
        QCOMPARE(image.ActiveFrame, -1);
        QVERIFY(image.Empty());
        QCOMPARE(changes, 1);
    }

    void shortSourceIsAReadError()
    {
        QByteArray bytes = Head() + Image() + ';';
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        TGIFImage image;
        QVERIFY_THROWS_EXCEPTION(EReadError, image.ReadGif(bytes.size() + 1, buffer, true));
    }

    void readsExactlyTheGivenCount()
    {
        QByteArray bytes = Head() + Image() + ';' + "after";
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        TGIFImage image;
        image.ReadGif(bytes.size() - 5, buffer, true);
        QCOMPARE(buffer.read(5), QByteArray("after"));
    }

    void screenAndBackground_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<uint>("backColor");
        QTest::newRow("index in table") << Head("GIF89a", 1) + Image() + ';' << uint(0x0000FF);
        QTest::newRow("index beyond table") << Head("GIF89a", 9) + Image() + ';' << uint(clNone);
        // Packed 0x00: no global table; the background index is ignored.
        QTest::newRow("no global table")
            << QByteArray("GIF89a") + Word(2) + Word(2) + Bytes({0x00, 0, 0}) + Image() + ';' << uint(clNone);
    }
    void screenAndBackground()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(uint, backColor);
        TGIFImage image;
        image.ReadGif(bytes, false);
        QCOMPARE(uint(image.BackColor), backColor);
        QCOMPARE(image.ScreenWidth(), 2);
    }

    void unknownExtensionLabel()
    {
        TGIFImage image;
        QCOMPARE(ReadError(image, Head() + Bytes({0x21, 0xAB, 0}) + Image() + ';'),
                 QString("Unrecognized extension block: AB"));
    }

    void graphicControlValues_data()
    {
        QTest::addColumn<QByteArray>("extensions");
        QTest::addColumn<uint>("key");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("disposal");
        QTest::newRow("transparent index 2") << Gce(0x05, 12, 2) << uint(0x00FF00) << 120 << 1;
        QTest::newRow("index beyond the table") << Gce(0x01, 0, 200) << uint(clNone) << 0 << 0;
        QTest::newRow("two controls") << Gce(0x09, 50, 1) + Gce(0x05, 20, 3) << uint(0xFF0000) << 500 << 1;
        QTest::newRow("later clears transparency") << Gce(0x01, 0, 1) + Gce(0x00, 0, 1) << uint(clNone) << 0 << 0;
        QTest::newRow("later bad index keeps key") << Gce(0x01, 0, 1) + Gce(0x01, 0, 99) << uint(0x0000FF) << 0 << 0;
        QTest::newRow("delay beyond 16 bits") << Gce(0x00, 7000, 0) << uint(clNone) << 4464 << 0;
        // A plain text block takes the controls before it with it.
        QTest::newRow("plain text between")
            << Gce(0x0D, 30, 1) + Bytes({0x21, 0x01, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 'x', 0})
            << uint(clNone) << 0 << 0;
    }
    void graphicControlValues()
    {
        QFETCH(QByteArray, extensions);
        QFETCH(uint, key);
        QFETCH(int, delay);
        QFETCH(int, disposal);
        TGIFImage image;
        image.ReadGif(Head() + extensions + Image() + ';', true);
        QCOMPARE(image.FrameCount(), 1);
        const TGIFFrame &frame = *image.Frame(0);
        QCOMPARE(uint(frame.KeyColor), key);
        QCOMPARE(int(frame.DelayMs), delay);
        QCOMPARE(int(frame.Disposal), disposal);
    }

    void loopExtension_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("stored");
        QTest::newRow("for ever") << 0 << 0;
        QTest::newRow("five") << 5 << 5;
        QTest::newRow("capped") << 40000 << 30000;
    }
    void loopExtension()
    {
        QFETCH(int, count);
        QFETCH(int, stored);
        TGIFImage image;
        image.ReadGif(Head() + Loop(count) + Image() + ';', true);
        QVERIFY(image.LoopFlag);
        QCOMPARE(int(image.LoopCount), stored);
        QVERIFY(image.Frame(0)->ExtensionList.empty()); // application blocks are not kept
    }

    void otherApplicationBlockIsNotALoop()
    {
        TGIFImage image;
        const QByteArray xmp = Bytes({0x21, 0xFF, 11}) + "XMP DataXMP" + Bytes({3, 1, 5, 0, 0});
        image.ReadGif(Head() + xmp + Image() + ';', true);
        QVERIFY(!image.LoopFlag);
        QCOMPARE(int(image.LoopCount), 1);
    }

    void trailingBytesEndQuietly()
    {
        TGIFImage image;
        QCOMPARE(ReadError(image, Head() + Image() + "xyz"), QString());
        QCOMPARE(image.FrameCount(), 1);
        // Zero bytes between blocks are skipped.
        QCOMPARE(ReadError(image, Head() + Image() + QByteArray(3, '\0') + Image(1, 1) + ';'), QString());
        QCOMPARE(image.FrameCount(), 2);
    }

    void strayByteAfterExtensionsIsAReadError()
    {
        TGIFImage image;
        QCOMPARE(ReadError(image, Head() + Image() + Gce(0, 1, 0) + "x;;"), QString("Stream read error"));
        QCOMPARE(image.FrameCount(), 1); // what was read stays
    }

    void trailingCommentsFillTheImageComment()
    {
        TGIFImage image;
        image.ReadGif(Head() + Image() + Comment({"one", "two"}) + Comment({"three"}) + ';', true);
        const std::vector<std::string> expected{"one", "two", "\r\n\r\n", "three"};
        QCOMPARE(image.CommentLines(), expected);
    }

    void commentBeforeAnImageBelongsToTheFrame()
    {
        TGIFImage image;
        image.ReadGif(Head() + Comment({"hello"}) + Image() + ';', true);
        QVERIFY(image.CommentLines().empty());
        QCOMPARE(image.Frame(0)->Comment(), std::vector<std::string>{"hello"});
    }

    void codeSizeCheckedWhenDecoding()
    {
        QByteArray bad = Image();
        bad[10] = 10; // the code size byte
        TGIFImage image;
        // The first frame is decoded during the read and removed on error.
        QCOMPARE(ReadError(image, Head() + bad + ';'), QString("GIF code size not in range 2 to 9"));
        QCOMPARE(image.FrameCount(), 0);
        // Without decoding, the read succeeds and the error comes later.
        QCOMPARE(ReadError(image, Head() + bad + ';', false), QString());
        QCOMPARE(image.FrameCount(), 1);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphicOperation, image.Frame(0)->Bitmap());
        QVERIFY(!image.Frame(0)->HasBitmap());
    }

    void overrunningSubBlockMarksCorrupt()
    {
        // Image block whose data sub-block claims 40 bytes but has 3.
        const QByteArray bytes = Head() + Bytes({0x2C}) + Word(0) + Word(0) + Word(2) + Word(2) + Bytes({0}) +
                                 Bytes({2, 40, 0x84, 0x1D, 0x05});
        TGIFImage image;
        QCOMPARE(ReadError(image, bytes), QString());
        QCOMPARE(image.FrameCount(), 1);
        QVERIFY(image.Frame(0)->IsCorrupt);
        QCOMPARE(image.Frame(0)->EncodedImage->CodeStream, std::vector<std::uint8_t>{2});
    }

    void shortDescriptorIsAReadError()
    {
        TGIFImage image;
        const QByteArray bytes = Head() + Image() + Bytes({0x2C, 0, 0, 0});
        QCOMPARE(ReadError(image, bytes), QString("Stream read error"));
        QCOMPARE(image.FrameCount(), 1);
    }

    void localTableAndCodeStreamAreKept()
    {
        // Image with a local table of 2 entries (packed 0x80): white, yellow.
        const QByteArray code = CodeStream(2, PackCodes(LiteralCodes({1, 0, 0, 1}, 2, true)));
        const QByteArray bytes = Head() + Bytes({0x2C}) + Word(0) + Word(0) + Word(2) + Word(2) + Bytes({0x80}) +
                                 Bytes({255, 255, 255, 255, 255, 0}) + code + ';';
        TGIFImage image;
        image.ReadGif(bytes, true);
        const TGIFFrame &frame = *image.Frame(0);
        QVERIFY(frame.HasLocalColors);
        QCOMPARE(int(frame.EncodedImage->PixelBits), 1);
        QCOMPARE(frame.EncodedImage->FrameColors.Count, 2u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame.EncodedImage->CodeStream.data()),
                            qsizetype(frame.EncodedImage->CodeStream.size())),
                 code);
    }

    void frameWithoutAnyTableCannotBeDrawn()
    {
        const QByteArray bytes = QByteArray("GIF89a") + Word(2) + Word(2) + Bytes({0x00, 0, 0}) + Image() + ';';
        TGIFImage image;
        QCOMPARE(ReadError(image, bytes), QString("Wrong number of colors; must be a power of 2"));
        image.ReadGif(bytes, false);
        QCOMPARE(image.FrameCount(), 1);
    }

    void failedReadDoesNotNotify()
    {
        TGIFImage image;
        int changes = 0;
        image.SetOnChange([&](TGIFImage &) { ++changes; });
        ReadError(image, "GIF90a");
        QCOMPARE(changes, 0);
        image.ReadGif(Head() + Image() + ';', true);
        QCOMPARE(changes, 1);
        QCOMPARE(image.ActiveFrame, 0);
    }
};

QTEST_MAIN(TestGifReader)
#include "tst_gifreader.moc"
