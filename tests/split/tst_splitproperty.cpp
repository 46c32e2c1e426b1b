// Whatever the sizes, the parts joined in PartList order are the source.

#include "platform/fakeplatform.h"
#include "platform/forwardingplatform.h"
#include "platform/posixplatform.h"
#include "split/endofrun.h"
#include "parts/partnaming.h"
#include "split/splitfile.h"
#include "split/recordingview.h"
#include "split/sparsecompare.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using darvolt::FakePlatform;
using darvolt::SplitOutcome;

namespace {

// Hides the platform's in-kernel copy so the read/write path does the work.
class ReadWriteOnly final : public darvolt::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;
    using FileResult = darvolt::Result<std::unique_ptr<darvolt::File>>;
    FileResult openForReading(const std::string& p) override { return wrap(inner().openForReading(p)); }
    FileResult createFile(const std::string& p, std::uint32_t bits) override { return wrap(inner().createFile(p, bits)); }
    darvolt::ErrorCode openFileManager(const std::string&) override { return darvolt::error::None; }
    bool allowsConcurrentCopies() const override { return false; }

private:
    struct Plain final : darvolt::ForwardingFile {
        using ForwardingFile::ForwardingFile;
        darvolt::CopyResult copyTo(darvolt::File&, std::uint64_t) override { return {0, true}; }
        darvolt::CopyResult copyRangeTo(std::int64_t, darvolt::File&, std::uint64_t) override { return {0, true}; }
    };
    static FileResult wrap(FileResult r)
    {
        if (!r.ok())
            return r;
        return FileResult{std::make_unique<Plain>(std::move(r.value)), darvolt::error::None};
    }
};

std::int64_t randomSourceSize(QRandomGenerator& rng, std::int64_t part)
{
    switch (rng.bounded(4)) {
    case 0: return part * rng.bounded(1, 6);                    // exact multiple: trailing empty part
    case 1: return part * rng.bounded(0, 5) + rng.bounded(1, int(part)); // a remainder
    case 2: return rng.bounded(1, int(part) + 1);               // not more than one part
    default: return rng.bounded(1, 200000);
    }
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_SplitProperty : public QObject {
    Q_OBJECT

private slots:
    void randomFolderRunsRejoin();
    void randomSpannedRunsRejoin();
    void randomRunsOnRealFilesRejoin_data();
    void randomRunsOnRealFilesRejoin();
    void sparseSourcesAroundTwoAndFourGiB_data();
    void sparseSourcesAroundTwoAndFourGiB();
};

void tst_SplitProperty::randomFolderRunsRejoin()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    const std::size_t blocks[] = {1024, 3000, 65536, std::size_t(1) << 20};
    for (int round = 0; round < 150; ++round) {
        const std::int64_t part = std::int64_t(rng.bounded(1, 65)) * 1024;
        const std::int64_t size = randomSourceSize(rng, part);
        darvolt::SplitOptions options;
        options.blockSize = blocks[rng.bounded(4)];
        const QString context = QString("seed %1 round %2: size %3 part %4 block %5")
                                    .arg(seed).arg(round).arg(size).arg(part).arg(options.blockSize);

        FakePlatform fake;
        const std::string data = patternBytes(std::size_t(size), std::uint32_t(round + 1));
        fake.addFile("/s/f.bin", data);
        RecordingView view;
        QVERIFY2(SplitFile(fake, view, {"f.bin", "/s/", part}, options).outcome == SplitOutcome::Done, qPrintable(context));

        const std::int64_t count = size / part + 1;
        std::string joined;
        for (std::int64_t i = 0; i < count; ++i) {
            const std::string piece = fake.contents("/s/F_PARTS/" + darvolt::BarePartName("f.bin", i));
            const std::int64_t expected = i + 1 < count ? part : size % part;
            QVERIFY2(std::int64_t(piece.size()) == expected, qPrintable(context));
            joined += piece;
        }
        QVERIFY2(!fake.hasFile("/s/F_PARTS/" + darvolt::BarePartName("f.bin", count)), qPrintable(context));
        QVERIFY2(joined == data, qPrintable(context));
    }
}

void tst_SplitProperty::randomSpannedRunsRejoin()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    for (int round = 0; round < 100; ++round) {
        const std::int64_t size = rng.bounded(1, 60000);
        std::vector<FakePlatform::Medium> media;
        for (int i = 0; i < 80; ++i) {
            FakePlatform::Medium m;
            m.capacity = rng.bounded(5) == 0 ? 0 : rng.bounded(1, 20000);
            media.push_back(m);
        }
        FakePlatform fake;
        const std::string data = patternBytes(std::size_t(size), std::uint32_t(round + 7));
        fake.addFile("/s/f.bin", data);
        fake.insertMedia(media);
        RecordingView view;
        view.onPrompt = [&](int n) {
            if (n > 0)
                fake.changeDiskette();
            return fake.disketteIndex() >= 0; // out of diskettes: cancel rather than loop
        };
        const QString context = QString("seed %1 round %2 size %3").arg(seed).arg(round).arg(size);
        const auto outcome = SplitFile(fake, view, {"f.bin", "/s/", 0}).outcome;
        // The last diskette always keeps room for MERGE.BAT, the checksum
        // file and merge.sh.
        QVERIFY2(outcome == SplitOutcome::Done, qPrintable(context));

        std::string joined;
        std::vector<std::string> names;
        std::vector<std::int64_t> shortBy; // what each part left free on its diskette
        for (int d = 0; d <= fake.disketteIndex(); ++d) {
            const auto files = fake.diskette(d);
            const auto it = files.find(darvolt::BarePartName("f.bin", std::int64_t(names.size())));
            if (it == files.end())
                continue; // a full diskette that was refused
            names.push_back(it->first);
            shortBy.push_back(media[std::size_t(d)].capacity - std::int64_t(it->second.size()));
            joined += it->second;
        }
        QVERIFY2(joined == data, qPrintable(context));
        for (const char* file : {"MERGE.BAT", "f.bin.sha256", "merge.sh"})
            QVERIFY2(fake.diskette(fake.disketteIndex()).count(file) == 1, qPrintable(context));
        // Every part fills its diskette but the last, and one whose rest fitted
        // there only without room for the end-of-run files (a smaller diskette
        // may still take a part after it).
        for (std::size_t i = 0; i + 1 < names.size(); ++i) {
            const std::vector<std::string> upTo(names.begin(), names.begin() + std::ptrdiff_t(i) + 1);
            const bool roomKept = shortBy[i] == darvolt::EndOfRunRoom(upTo, "f.bin", true, 1);
            QVERIFY2(shortBy[i] == 0 || roomKept, qPrintable(context));
        }
    }
}

void tst_SplitProperty::randomRunsOnRealFilesRejoin_data()
{
    QTest::addColumn<bool>("inKernel");
    QTest::newRow("in-kernel copy") << true;
    QTest::newRow("read and write") << false;
}

void tst_SplitProperty::randomRunsOnRealFilesRejoin()
{
    QFETCH(bool, inKernel);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    darvolt::PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform posix(options);
    ReadWriteOnly plain(posix);
    darvolt::Platform& platform = inKernel ? static_cast<darvolt::Platform&>(posix) : plain;

    for (int round = 0; round < 12; ++round) {
        QTemporaryDir dir;
        const std::int64_t part = std::int64_t(rng.bounded(1, 1500)) * 1024;
        const std::int64_t size = randomSourceSize(rng, part) + (round % 3 == 0 ? 3 * 1048576 : 0);
        const std::string data = patternBytes(std::size_t(size), seed + std::uint32_t(round));
        {
            QFile f(dir.filePath("src.dat"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data.data(), qint64(data.size()));
        }
        const QString context = QString("seed %1 round %2 size %3 part %4").arg(seed).arg(round).arg(size).arg(part);
        RecordingView view;
        const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
        QVERIFY2(SplitFile(platform, view, {"src.dat", folder, part}).outcome == SplitOutcome::Done, qPrintable(context));
        QByteArray joined;
        const std::int64_t count = size / part + 1;
        for (std::int64_t i = 0; i < count; ++i)
            joined += fileBytes(dir.filePath("SRC_PARTS/" + QString::fromStdString(darvolt::BarePartName("src.dat", i))));
        QVERIFY2(joined == QByteArray::fromStdString(data), qPrintable(context));
        QVERIFY(QFile::exists(dir.filePath("SRC_PARTS/MERGE.BAT")));
    }
}

void tst_SplitProperty::sparseSourcesAroundTwoAndFourGiB_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("partSize");
    const qint64 G2 = qint64(1) << 31;
    const qint64 G4 = qint64(1) << 32;
    QTest::newRow("just above 2 GiB") << G2 + 1000 << G2 - 1024;
    QTest::newRow("2 GiB parts of 4 GiB + 7") << G4 + 7 << G2;
    QTest::newRow("just below 4 GiB") << G4 - 512 << G4 - 2048;
    QTest::newRow("exactly 4 GiB in 2 GiB parts") << G4 << G2;
    QTest::newRow("5 GB in 4 GiB parts") << qint64(5000000000) << G4;
    QTest::newRow("4 GiB + 1 in diskette parts") << G4 + 1 << qint64(1457664) * 1000;
}

void tst_SplitProperty::sparseSourcesAroundTwoAndFourGiB()
{
    QFETCH(qint64, size);
    QFETCH(qint64, partSize);
    QTemporaryDir dir;
    const QByteArray source = QFile::encodeName(dir.filePath("big.img"));
    // Data where 32-bit offsets and sizes would wrap: at the start, across
    // 2^31 and 2^32, and at the very end.
    QList<QPair<off_t, QByteArray>> blocks;
    for (qint64 at : {qint64(0), (qint64(1) << 31) - 4096, (qint64(1) << 32) - 4096, size - 8192})
        if (at >= 0 && at + 8192 <= size)
            blocks.append({off_t(at), QByteArray::fromStdString(patternBytes(8192, std::uint32_t(at % 9973)))});
    if (!makeSparseFile(source, off_t(size), blocks))
        QSKIP("the temporary folder's file system does not keep files sparse");

    darvolt::PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform platform(options);
    RecordingView view;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QCOMPARE(SplitFile(platform, view, {"big.img", folder, partSize}).outcome, SplitOutcome::Done);
    QCOMPARE(view.maximum, size / 1024);

    const int src = ::open(source.constData(), O_RDONLY);
    QVERIFY(src >= 0);
    const std::int64_t count = size / partSize + 1;
    std::int64_t offset = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        const QByteArray name = QFile::encodeName(dir.filePath("BIG_PARTS/")) + QByteArray::fromStdString(darvolt::BarePartName("big.img", i));
        const int part = ::open(name.constData(), O_RDONLY);
        QVERIFY2(part >= 0, name.constData());
        struct stat st {};
        ::fstat(part, &st);
        const std::int64_t expected = i + 1 < count ? partSize : size % partSize;
        QCOMPARE(std::int64_t(st.st_size), expected);
        QString why;
        QVERIFY2(rangesEqual(src, off_t(offset), part, 0, off_t(expected), &why), qPrintable(name + ": " + why));
        ::close(part);
        offset += expected;
    }
    ::close(src);
    QCOMPARE(offset, size);
}

QTEST_GUILESS_MAIN(tst_SplitProperty)
#include "tst_splitproperty.moc"
