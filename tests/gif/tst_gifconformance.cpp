// Conformance against the public GIF material in $DARVOLT_TESTDATA/gif.

#include "gif/composeframe.h"
#include "gif/giferrors.h"
#include "gif/gifimage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

using namespace darvolt;

namespace {

QString GifFolder()
{
    const QString root = qEnvironmentVariable("DARVOLT_TESTDATA");
    return root.isEmpty() ? QString() : QDir(root).filePath(QStringLiteral("gif"));
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Indices(TGIFFrame &frame)
{
    const QImage &bitmap = frame.Bitmap();
    QByteArray out;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            out.append(char(bitmap.pixelIndex(x, y)));
    return out;
}

const QStringList ReaderMessages{"Unknown GIF version", "GIF encoded data is corrupt",
                                 "GIF code size not in range 2 to 9",
                                 "Wrong number of colors; must be a power of 2", "Stream read error"};

bool IsReaderMessage(const QString &message)
{
    return ReaderMessages.contains(message) || message.startsWith("Unrecognized extension block: ") ||
           message.contains("too large");
}

// Files that the other decoder calls bad, but whose data this reader's rules
// accept as they stand, with the reason.
const QHash<QString, QString> AcceptedByOurRules{
    {"pixel-data-none.gif", "an end code before any pixel ends the frame; its pixels keep index 0"},
    {"pixel-data-not-enough.gif", "an end code before the last pixel ends the frame; the rest keeps index 0"},
    {"pixel-data-too-much-bad-lzw.gif", "pixels after the last row are dropped unread"},
    {"pixel-data-too-much-good-lzw.gif", "pixels after the last row are dropped unread"},
    {"zero-width-frame.gif", "a frame without width has nothing to decode"},
    {"cve-2019-15133-zero-height-treescap.gif", "a frame without height has nothing to decode"},
};

} // namespace

class TestGifConformance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without its material the suite has nothing to check; on a
        // developer's machine it says so, under CI it fails.
        const QDir gif(GifFolder());
        bool present = !GifFolder().isEmpty();
        for (const char *folder : {"wuffs", "giflib", "peterdn"})
            present = present && gif.exists(folder);
        if (present)
            return;
        const QByteArray why = "the public GIF test material is not there: " +
                               QFile::encodeName(GifFolder().isEmpty() ? "DARVOLT_TESTDATA is not set" : GifFolder());
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL(why.constData());
        QSKIP(why.constData());
    }

    void firstFrameIndicesMatch_data()
    {
        QTest::addColumn<QString>("gif");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QString>("indexes");
        const QDir wuffs(QDir(GifFolder()).filePath("wuffs"));
        for (const QString &name : wuffs.entryList({"*.indexes"}, QDir::Files, QDir::Name)) {
            const QRegularExpressionMatch m = QRegularExpression("^muybridge-frame-(\\d+)\\.indexes$").match(name);
            if (m.hasMatch())
                QTest::newRow(qPrintable(name)) << wuffs.filePath("muybridge.gif") << m.captured(1).toInt()
                                                << wuffs.filePath(name);
            else
                QTest::newRow(qPrintable(name)) << wuffs.filePath(QString(name).replace(".indexes", ".gif")) << 0
                                                << wuffs.filePath(name);
        }
    }
    void firstFrameIndicesMatch()
    {
        QFETCH(QString, gif);
        QFETCH(int, frame);
        QFETCH(QString, indexes);
        TGIFImage image;
        image.ReadGif(ReadFile(gif), true);
        QVERIFY(image.Frame(frame));
        QCOMPARE(Indices(*image.Frame(frame)), ReadFile(indexes));
        QVERIFY(!image.Frame(frame)->IsCorrupt);
    }

    void everyFileLoadsSafely_data()
    {
        QTest::addColumn<QString>("path");
        QDirIterator it(GifFolder(), {"*.gif"}, QDir::Files, QDirIterator::Subdirectories);
        QStringList paths;
        while (it.hasNext())
            paths << it.next();
        paths.sort();
        for (const QString &path : paths)
            QTest::newRow(qPrintable(QDir(GifFolder()).relativeFilePath(path))) << path;
    }
    void everyFileLoadsSafely()
    {
        QFETCH(QString, path);
        const QByteArray bytes = ReadFile(path);
        // Every frame of the whole file stays decoded, far inside the budget.
        TGIFImage whole;
        try {
            whole.ReadGif(bytes, false);
        } catch (const std::exception &) {
        }
        std::vector<int> decoded;
        for (int i = 0; i < whole.FrameCount(); ++i) {
            try {
                if (whole.Frame(i)->HasBitmap() || !whole.Frame(i)->Bitmap().isNull())
                    decoded.push_back(i);
            } catch (const EInvalidGraphicOperation &) {
            }
        }
        QVERIFY(whole.HeldPixelBytes() * 16 < whole.PixelBudget());
        for (int i : decoded)
            QVERIFY(whole.Frame(i)->HasBitmap());
        // Every prefix of a file is another file to survive.
        for (qsizetype cut : {bytes.size(), bytes.size() * 3 / 4, bytes.size() / 2, qsizetype(40), qsizetype(13)}) {
            TGIFImage image;
            try {
                image.ReadGif(bytes.left(cut), true);
                for (int i = 0; i < image.FrameCount() && i < 40; ++i) {
                    try {
                        image.Frame(i)->Bitmap();
                    } catch (const EInvalidGraphicOperation &e) {
                        QVERIFY2(IsReaderMessage(e.what()), e.what());
                    }
                }
                try {
                    if (image.FrameCount() > 0)
                        ComposeFrame(image, std::min(image.FrameCount() - 1, 40));
                } catch (const EInvalidGraphicOperation &e) {
                    QVERIFY2(IsReaderMessage(e.what()), e.what());
                }
            } catch (const std::exception &e) {
                QVERIFY2(IsReaderMessage(e.what()), e.what());
            }
        }
    }

    void filesCalledBadAreFlaggedOrRefused_data()
    {
        QTest::addColumn<QString>("path");
        const QString checksums = QDir(GifFolder()).filePath("wuffs/nia-checksums.txt");
        const QList<QByteArray> lines = ReadFile(checksums).split('\n');
        for (const QByteArray &line : lines) {
            if (!line.startsWith("BAD"))
                continue;
            QString file = QString::fromUtf8(line.split(' ').last());
            file.replace("test/data/artificial-gif/", "wuffs/artificial/").replace("test/data/", "wuffs/");
            QTest::newRow(qPrintable(file)) << QDir(GifFolder()).filePath(file);
        }
        for (const char *name : {"giflib/malformed/cve-2005-2974-partial-treescap.gif",
                                 "giflib/malformed/cve-2019-15133-zero-height-treescap.gif"})
            QTest::newRow(name) << QDir(GifFolder()).filePath(name);
    }
    void filesCalledBadAreFlaggedOrRefused()
    {
        QFETCH(QString, path);
        const QString name = QFileInfo(path).fileName();
        if (AcceptedByOurRules.contains(name))
            QSKIP(qPrintable(name + ": " + AcceptedByOurRules.value(name)));
        TGIFImage image;
        try {
            image.ReadGif(ReadFile(path), true);
        } catch (const std::exception &e) {
            QVERIFY2(IsReaderMessage(e.what()), e.what());
            return;
        }
        bool flagged = false;
        for (int i = 0; i < image.FrameCount(); ++i) {
            image.Frame(i)->Bitmap();
            flagged = flagged || image.Frame(i)->IsCorrupt;
        }
        QVERIFY(flagged);
    }

    void finalScreenMatchesGiflib_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"fire", "gifgrid", "porsche", "solid2", "treescap", "treescap-interlaced", "x-trans",
                                 "welcome2"})
            QTest::newRow(name) << QString(name);
    }
    void finalScreenMatchesGiflib()
    {
        QFETCH(QString, name);
        if (name == "welcome2")
            QSKIP("welcome2: giflib's rendering paints every frame without transparency; "
                  "this program leaves each frame's key colour out");
        const QDir dir(QDir(GifFolder()).filePath("giflib"));
        TGIFImage image;
        image.ReadGif(ReadFile(dir.filePath("pic/" + name + ".gif")), true);
        const QImage picture = ComposeFrame(image, image.FrameCount() - 1);
        QByteArray rgb;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb c = picture.pixel(x, y);
                rgb += char(qRed(c));
                rgb += char(qGreen(c));
                rgb += char(qBlue(c));
            }
        QCOMPARE(rgb, ReadFile(dir.filePath("expected/" + name + ".rgb")));
    }

    void composedFramesMatchTheSuite_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("frame");
        const QDir frames(QDir(GifFolder()).filePath("peterdn/frames"));
        for (const QString &png : frames.entryList({"*.png"}, QDir::Files, QDir::Name)) {
            const QRegularExpressionMatch m = QRegularExpression("^(.*?)(?:-(\\d+))?\\.png$").match(png);
            QTest::newRow(qPrintable(png)) << m.captured(1) << (m.captured(2).isEmpty() ? 0 : m.captured(2).toInt());
        }
    }
    void composedFramesMatchTheSuite()
    {
        QFETCH(QString, name);
        QFETCH(int, frame);
        const QDir dir(QDir(GifFolder()).filePath("peterdn"));
        TGIFImage image;
        image.ReadGif(ReadFile(dir.filePath(name + ".gif")), true);
        const QImage picture = ComposeFrame(image, frame);
        QString png = dir.filePath(QString("frames/%1-%2.png").arg(name).arg(frame));
        if (!QFile::exists(png))
            png = dir.filePath(QString("frames/%1.png").arg(name));
        const QImage expected = QImage(png).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(picture.size(), expected.size());
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb e = expected.pixel(x, y);
                if (qAlpha(e) == 0)
                    continue; // uncovered: the brush colour is this program's own choice
                QVERIFY2((picture.pixel(x, y) & RGB_MASK) == (e & RGB_MASK),
                         qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
            }
    }
};

QTEST_MAIN(TestGifConformance)
#include "tst_gifconformance.moc"
