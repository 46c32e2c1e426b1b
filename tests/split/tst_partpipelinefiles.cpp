// Runs that copy two parts at once on real files: the parts rejoin to the
// source with the in-kernel copy and with positional reads and writes, a
// sparse source keeps its holes across 4 GiB, and a medium that fills up
// ends the run with the parts in order.

#include "platform/forwardingplatform.h"
#include "platform/posixplatform.h"
#include "parts/partnaming.h"
#include "split/sparsecompare.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/testdata.h"
#include "split/threadview.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <mutex>
#include <set>
#include <thread>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using darvolt::SplitOutcome;

namespace {

// Two parts at a time is how runs without checksums copy.
darvolt::SplitOptions twoParts()
{
    darvolt::SplitOptions options;
    options.checksums = false;
    return options;
}

// The real platform with every file wrapped, so the test sees which thread
// put data into which part. With inKernel false the source offers only
// positional reads, so parts are written with write().
class NotingPlatform final : public darvolt::ForwardingPlatform {
public:
    NotingPlatform(darvolt::Platform& inner, bool inKernel) : ForwardingPlatform(inner), inKernel_(inKernel) {}
    using FileResult = darvolt::Result<std::unique_ptr<darvolt::File>>;

    FileResult openForReading(const std::string& p) override { return wrap(inner().openForReading(p), p); }
    FileResult createFile(const std::string& p, std::uint32_t bits) override { return wrap(inner().createFile(p, bits), p); }
    darvolt::ErrorCode openFileManager(const std::string&) override { return darvolt::error::None; }
    bool allowsConcurrentCopies() const override { return true; }

    // Paths written into by a thread other than the one that made the platform.
    std::set<std::string> byWorker()
    {
        const std::lock_guard lock(mutex_);
        return byWorker_;
    }

private:
    struct Noting final : darvolt::ForwardingFile {
        Noting(NotingPlatform* o, std::string p, std::unique_ptr<darvolt::File> f)
            : ForwardingFile(std::move(f)), owner(o), path(std::move(p))
        {
        }
        NotingPlatform* owner = nullptr;
        std::string path;
        void note() { owner->note(path); }
        darvolt::Result<std::size_t> write(std::span<const std::byte> d) override
        {
            note();
            return ForwardingFile::write(d);
        }
        darvolt::CopyResult copyRangeTo(std::int64_t at, darvolt::File& target, std::uint64_t n) override
        {
            if (!owner->inKernel_)
                return darvolt::CopyResult{0, true};
            dynamic_cast<Noting&>(target).note();
            return ForwardingFile::copyRangeTo(at, target, n);
        }
    };

    FileResult wrap(FileResult r, const std::string& path)
    {
        if (!r.ok())
            return r;
        return FileResult{std::make_unique<Noting>(this, path, std::move(r.value)), darvolt::error::None};
    }
    void note(const std::string& path)
    {
        if (std::this_thread::get_id() == maker_)
            return;
        const std::lock_guard lock(mutex_);
        byWorker_.insert(path);
    }

    const bool inKernel_;
    const std::thread::id maker_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::set<std::string> byWorker_;
};

darvolt::PosixPlatform quietPosix()
{
    darvolt::PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    return darvolt::PosixPlatform(options);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const std::string& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data.data(), qint64(data.size())) == qint64(data.size());
}

std::string folderOf(const QTemporaryDir& dir) { return QFile::encodeName(dir.path()).toStdString() + "/"; }

QString partPath(const QTemporaryDir& dir, const char* name, std::int64_t n)
{
    return dir.filePath(QString("SRC_PARTS/") + QString::fromStdString(darvolt::BarePartName(name, n)));
}

// A tmpfs mounted on a folder for the length of a test.
class SmallMedium {
public:
    explicit SmallMedium(const QString& where) : path_(QFile::encodeName(where)) {}
    ~SmallMedium()
    {
        if (mounted_)
            ::umount2(path_.constData(), MNT_DETACH);
    }
    QString mount(const char* size)
    {
        const std::string options = std::string("size=") + size + ",mode=0777";
        if (::mount("tmpfs", path_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        mounted_ = true;
        return QString();
    }

private:
    QByteArray path_;
    bool mounted_ = false;
};

} // namespace

class tst_PartPipelineFiles : public QObject {
    Q_OBJECT

private slots:
    void randomRunsRejoin_data();
    void randomRunsRejoin();
    void sparseSourceKeepsItsHolesAcrossFourGiB();
    void fullMediumEndsTheRunWithThePartsInOrder();
};

void tst_PartPipelineFiles::randomRunsRejoin_data()
{
    QTest::addColumn<bool>("inKernel");
    QTest::newRow("in-kernel copy") << true;
    QTest::newRow("positional read and write") << false;
}

void tst_PartPipelineFiles::randomRunsRejoin()
{
    QFETCH(bool, inKernel);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    auto posix = quietPosix();
    bool workerWrote = false;
    for (int round = 0; round < 10; ++round) {
        QTemporaryDir dir;
        const std::int64_t part = std::int64_t(rng.bounded(1, 1500)) * 1024;
        const std::int64_t count = rng.bounded(2, 7);
        const std::int64_t size = part * (count - 1) + (round % 3 == 0 ? 0 : rng.bounded(1, int(part)));
        const std::string data = patternBytes(std::size_t(size), seed + std::uint32_t(round));
        QVERIFY(writeFile(dir.filePath("src.dat"), data));
        const QString context = QString("seed %1 round %2 size %3 part %4").arg(seed).arg(round).arg(size).arg(part);

        NotingPlatform platform(posix, inKernel);
        ThreadView view;
        QVERIFY2(SplitFile(platform, view, {"src.dat", folderOf(dir), part}, twoParts()).outcome == SplitOutcome::Done, qPrintable(context));
        QByteArray joined;
        std::int64_t kb = 0;
        for (std::int64_t i = 0; i < size / part + 1; ++i) {
            const QByteArray piece = fileBytes(partPath(dir, "src.dat", i));
            joined += piece;
            kb += piece.size() / 1024;
        }
        QVERIFY2(!QFile::exists(partPath(dir, "src.dat", size / part + 1)), qPrintable(context));
        QVERIFY2(joined == QByteArray::fromStdString(data), qPrintable(context));
        QVERIFY2(QFile::exists(dir.filePath("SRC_PARTS/MERGE.BAT")), qPrintable(context));
        QVERIFY2(!view.foreignCall && view.positionsNeverFall(), qPrintable(context));
        QVERIFY2(view.position == kb, qPrintable(context));
        workerWrote = workerWrote || !platform.byWorker().empty();
    }
    QVERIFY(workerWrote);
}

void tst_PartPipelineFiles::sparseSourceKeepsItsHolesAcrossFourGiB()
{
    // 2 GiB parts of a 4 GiB + 7 source: one thread copies across 2^31, the
    // other across 2^32, both at offsets a 32-bit type cannot hold.
    const qint64 size = (qint64(1) << 32) + 7;
    const qint64 partSize = qint64(1) << 31;
    QTemporaryDir dir;
    const QByteArray source = QFile::encodeName(dir.filePath("src.dat"));
    const auto bytes = [](int n, std::uint32_t seed) { return QByteArray::fromStdString(patternBytes(std::size_t(n), seed)); };
    const QList<QPair<off_t, QByteArray>> blocks = {
        {0, bytes(8192, 1)},
        {off_t(partSize - 4096), bytes(8192, 2)}, // across 2^31
        {off_t(size - 4096), bytes(4096, 3)},     // across 2^32, to the very end
    };
    if (!makeSparseFile(source, off_t(size), blocks))
        QSKIP("the temporary folder's file system does not keep files sparse");

    auto posix = quietPosix();
    NotingPlatform platform(posix, true);
    ThreadView view;
    QCOMPARE(SplitFile(platform, view, {"src.dat", folderOf(dir), partSize}, twoParts()).outcome, SplitOutcome::Done);
    QVERIFY(!platform.byWorker().empty());

    const int src = ::open(source.constData(), O_RDONLY);
    QVERIFY(src >= 0);
    for (std::int64_t i = 0; i < 3; ++i) {
        const QByteArray name = QFile::encodeName(partPath(dir, "src.dat", i));
        const int fd = ::open(name.constData(), O_RDONLY);
        QVERIFY2(fd >= 0, name.constData());
        struct stat st {};
        ::fstat(fd, &st);
        const std::int64_t expected = i < 2 ? partSize : 7;
        QCOMPARE(std::int64_t(st.st_size), expected);
        QVERIFY2(std::int64_t(st.st_blocks) * 512 < 1 << 20, name.constData()); // the holes stayed holes
        QString why;
        QVERIFY2(rangesEqual(src, off_t(i * partSize), fd, 0, off_t(expected), &why), qPrintable(why));
        ::close(fd);
    }
    ::close(src);
}

void tst_PartPipelineFiles::fullMediumEndsTheRunWithThePartsInOrder()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("SRC_PARTS")));
    SmallMedium medium(dir.filePath("SRC_PARTS"));
    if (const QString why = medium.mount("1m"); !why.isEmpty())
        QSKIP(qPrintable("cannot mount a tmpfs here: " + why));

    // 1 MiB holds three parts of 300 KB and 124 KB of a fourth; two parts
    // are written at once, so the medium may already run out in the third.
    const std::int64_t part = 300 * 1024;
    const std::string data = patternBytes(4 << 20, 11);
    QVERIFY(writeFile(dir.filePath("src.dat"), data));
    auto posix = quietPosix();
    NotingPlatform platform(posix, true);
    ThreadView view;
    QCOMPARE(SplitFile(platform, view, {"src.dat", folderOf(dir), part}, twoParts()).outcome, SplitOutcome::Failed);

    QCOMPARE(view.dialogs(), std::vector<std::string>{"error " + std::string(darvolt::texts::WriteFailed)});
    QVERIFY(!view.foreignCall && view.positionsNeverFall());
    std::int64_t failed = 0;
    while (fileBytes(partPath(dir, "src.dat", failed)).size() == part)
        ++failed;
    QVERIFY2(failed == 2 || failed == 3, qPrintable(QString::number(failed)));
    for (std::int64_t i = 0; i <= failed; ++i) {
        const QByteArray piece = fileBytes(partPath(dir, "src.dat", i));
        QVERIFY(piece == QByteArray::fromStdString(data.substr(std::size_t(i * part), std::size_t(piece.size()))));
    }
    QVERIFY(QFile::exists(partPath(dir, "src.dat", failed))); // as far as it got
    QVERIFY(!QFile::exists(partPath(dir, "src.dat", failed + 1)));
    QVERIFY(!QFile::exists(dir.filePath("SRC_PARTS/MERGE.BAT")));
    QCOMPARE(QDir(dir.filePath("SRC_PARTS")).entryList(QDir::Files).size(), qsizetype(failed + 1));
    QVERIFY(fileBytes(dir.filePath("src.dat")) == QByteArray::fromStdString(data));
}

QTEST_GUILESS_MAIN(tst_PartPipelineFiles)
#include "tst_partpipelinefiles.moc"
