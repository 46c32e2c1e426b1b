// Reading and copying one source at explicit offsets, also from two threads
// at once, on the POSIX platform and on the fake switched to concurrent
// copies.

#include "platform/fakeplatform.h"
#include "platform/posixplatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace darvolt;
using Op = FakePlatform::Operation;

namespace {

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
    return data;
}

std::string path(const QTemporaryDir& dir, const QString& name)
{
    return QFile::encodeName(dir.filePath(name)).toStdString();
}

QByteArray readBack(const std::string& p)
{
    QFile f(QFile::decodeName(QByteArray::fromStdString(p)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

PosixPlatform quietPlatform()
{
    PosixPlatformOptions options;
    options.driveFolder = "/nonexistent-drive";
    options.driveMustBeMountPoint = false;
    options.fileManagerCommand.clear();
    return PosixPlatform(options);
}

std::span<std::byte> asBytes(QByteArray& a) { return std::as_writable_bytes(std::span(a.data(), std::size_t(a.size()))); }

// Copies [offset, offset + length) of source to target's position the way
// the split engine does: in-kernel where offered, else read at the offset
// and write. Returns false on any failure.
bool copyRange(File& source, std::int64_t offset, std::int64_t length, File& target, bool inKernel)
{
    QByteArray buffer(65536, '\0');
    while (length > 0) {
        const auto want = std::uint64_t(std::min<std::int64_t>(length, buffer.size()));
        std::uint64_t count = 0;
        const CopyResult moved = inKernel ? source.copyRangeTo(offset, target, want) : CopyResult{0, true};
        if (!moved.fallBack) {
            count = moved.bytes;
        } else {
            const auto got = source.readAt(offset, asBytes(buffer).first(std::size_t(want)));
            if (!got.ok())
                return false;
            const auto put = target.write(std::as_bytes(std::span(buffer.constData(), got.value)));
            if (!put.ok() || put.value != got.value)
                return false;
            count = got.value;
        }
        if (count == 0)
            return length == 0;
        offset += std::int64_t(count);
        length -= std::int64_t(count);
    }
    return true;
}

} // namespace

class tst_ConcurrentFiles : public QObject {
    Q_OBJECT

private slots:
    void readAtReadsAnywhereAndLeavesThePosition();
    void copyRangeToCopiesFromTheOffsetAndKeepsHoles();
    void copyToStillMovesThePosition();
    void twoThreadsCopyTwoRangesOfOneSource_data();
    void twoThreadsCopyTwoRangesOfOneSource();
    void fakeServesTwoThreadsAtOnce();
    void fakeCallHookRunsOutsideItsLock();
    void platformsSayWhetherTheyCopyConcurrently();
};

void tst_ConcurrentFiles::readAtReadsAnywhereAndLeavesThePosition()
{
    QTemporaryDir dir;
    const QByteArray data = pattern(10000, 1);
    QFile f(dir.filePath("src"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();
    auto platform = quietPlatform();
    auto in = platform.openForReading(path(dir, "src"));
    QVERIFY(in.ok());

    QByteArray head(10, '\0');
    QCOMPARE(in.value->read(asBytes(head)).value, std::size_t(10));
    QByteArray middle(50, '\0');
    QCOMPARE(in.value->readAt(7000, asBytes(middle)).value, std::size_t(50));
    QCOMPARE(middle, data.mid(7000, 50));
    QByteArray next(10, '\0');
    QCOMPARE(in.value->read(asBytes(next)).value, std::size_t(10));
    QCOMPARE(next, data.mid(10, 10)); // read() went on where it was

    QByteArray tail(20, '\0');
    QCOMPARE(in.value->readAt(9995, asBytes(tail)).value, std::size_t(5)); // short only at the end
    QCOMPARE(in.value->readAt(20000, asBytes(tail)).value, std::size_t(0));
    QCOMPARE(in.value->readAt(-1, asBytes(tail)).error, error::InvalidParameter);
    QCOMPARE(in.value->close(), error::None);
    QCOMPARE(in.value->readAt(0, asBytes(tail)).error, error::InvalidHandle);
}

void tst_ConcurrentFiles::copyRangeToCopiesFromTheOffsetAndKeepsHoles()
{
    // 4 KB of data, a 32 MiB hole, 3000 bytes of data: copied from offset
    // 1000 on, the copy starts with the data's rest and keeps the hole.
    QTemporaryDir dir;
    const std::string src = path(dir, "sparse");
    const int fd = ::open(src.c_str(), O_WRONLY | O_CREAT, 0644);
    const QByteArray head = pattern(4096, 2), tail = pattern(3000, 3);
    const off_t tailAt = 32 << 20;
    QCOMPARE(::pwrite(fd, head.constData(), 4096, 0), ssize_t(4096));
    QCOMPARE(::pwrite(fd, tail.constData(), 3000, tailAt), ssize_t(3000));
    ::close(fd);

    auto platform = quietPlatform();
    auto in = platform.openForReading(src);
    auto out = platform.createFile(path(dir, "copy"));
    QVERIFY(in.ok() && out.ok());
    QVERIFY(copyRange(*in.value, 1000, tailAt + 3000 - 1000, *out.value, true));
    QCOMPARE(out.value->close(), error::None);

    const QByteArray copy = readBack(path(dir, "copy"));
    QCOMPARE(copy.size(), qsizetype(tailAt + 3000 - 1000));
    QCOMPARE(copy.left(3096), head.mid(1000));
    QVERIFY(copy.mid(3096, int(tailAt) - 4096).count('\0') == int(tailAt) - 4096);
    QCOMPARE(copy.right(3000), tail);
    struct stat st {};
    ::stat(path(dir, "copy").c_str(), &st);
    QVERIFY2(st.st_blocks * 512 < (4 << 20), "the hole was written out");
}

void tst_ConcurrentFiles::copyToStillMovesThePosition()
{
    // The one-thread copy finds holes with the same offset searches; the
    // position must still end behind what was copied.
    QTemporaryDir dir;
    const QByteArray data = pattern(300000, 4);
    QFile f(dir.filePath("src"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();
    auto platform = quietPlatform();
    auto in = platform.openForReading(path(dir, "src"));
    auto out = platform.createFile(path(dir, "copy"));
    const auto moved = in.value->copyTo(*out.value, 100000);
    QVERIFY(!moved.fallBack);
    QByteArray next(16, '\0');
    QCOMPARE(in.value->read(asBytes(next)).value, std::size_t(16));
    QCOMPARE(next, data.mid(qsizetype(moved.bytes), 16));
}

void tst_ConcurrentFiles::twoThreadsCopyTwoRangesOfOneSource_data()
{
    QTest::addColumn<bool>("inKernel");
    QTest::newRow("in-kernel copy") << true;
    QTest::newRow("read at offsets and write") << false;
}

void tst_ConcurrentFiles::twoThreadsCopyTwoRangesOfOneSource()
{
    QFETCH(bool, inKernel);
    QTemporaryDir dir;
    const QByteArray data = pattern(6 << 20, 5);
    QFile f(dir.filePath("src"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();
    auto platform = quietPlatform();
    auto in = platform.openForReading(path(dir, "src"));
    auto first = platform.createFile(path(dir, "first"));
    auto second = platform.createFile(path(dir, "second"));
    QVERIFY(in.ok() && first.ok() && second.ok());

    const std::int64_t half = 3 << 20;
    std::atomic<bool> workerOk{false};
    std::thread worker([&] { workerOk = copyRange(*in.value, 0, half, *first.value, inKernel); });
    const bool mineOk = copyRange(*in.value, half, half, *second.value, inKernel);
    worker.join();
    QVERIFY(workerOk);
    QVERIFY(mineOk);
    QCOMPARE(first.value->close(), error::None);
    QCOMPARE(second.value->close(), error::None);
    QVERIFY(readBack(path(dir, "first")) == data.left(half));
    QVERIFY(readBack(path(dir, "second")) == data.mid(half));
}

void tst_ConcurrentFiles::fakeServesTwoThreadsAtOnce()
{
    // One thread copies from the shared source into its file while the other
    // creates, writes, lists and deletes files: every call is counted and
    // every byte lands where it belongs.
    FakePlatform fake;
    fake.allowConcurrentCopies(true);
    const QByteArray data = pattern(200000, 6);
    fake.addFile("/d/src", data.toStdString());
    auto in = fake.openForReading("/d/src");
    auto theirs = fake.createFile("/d/theirs");
    QVERIFY(in.ok() && theirs.ok());

    std::atomic<bool> workerOk{false};
    std::thread worker([&] { workerOk = copyRange(*in.value, 100000, 100000, *theirs.value, false); });
    bool mineOk = true;
    for (int i = 0; i < 50; ++i) {
        const std::string name = "/d/mine" + std::to_string(i);
        auto mine = fake.createFile(name);
        mineOk = mineOk && mine.ok() && copyRange(*in.value, i * 2000, 2000, *mine.value, false);
        mineOk = mineOk && mine.value->close() == error::None && fake.listDirectory("/d").ok();
        if (i % 2 == 1)
            mineOk = mineOk && fake.removeFile(name) == error::None;
    }
    worker.join();
    QVERIFY(workerOk);
    QVERIFY(mineOk);
    QCOMPARE(theirs.value->close(), error::None);
    QVERIFY(fake.contents("/d/theirs") == data.mid(100000).toStdString());
    QVERIFY(fake.contents("/d/mine48") == data.mid(96000, 2000).toStdString());
    QVERIFY(!fake.hasFile("/d/mine49"));
    QCOMPARE(fake.calls(Op::CreateFile), 51);
    QCOMPARE(fake.fileCalls("/d/theirs", Op::Write), 2); // 100000 bytes in blocks of 65536
    QCOMPARE(fake.openFiles(), 1);
}

void tst_ConcurrentFiles::fakeCallHookRunsOutsideItsLock()
{
    // The worker's write waits in the hook until this thread has created a
    // file: were the hook inside the fake's lock, the creation would wait for
    // the worker and the worker for the creation.
    FakePlatform fake;
    fake.allowConcurrentCopies(true);
    fake.addDirectory("/d");
    std::mutex mutex;
    std::condition_variable changed;
    bool inHook = false;
    bool created = false;
    bool timedOut = false;
    fake.setCallHook([&](Op op, const std::string& p) {
        std::unique_lock lock(mutex);
        if (op == Op::CreateFile && p == "/d/second") {
            created = true;
            changed.notify_all();
        }
        if (op == Op::Write && p == "/d/first") {
            inHook = true;
            changed.notify_all();
            timedOut = !changed.wait_for(lock, std::chrono::seconds(30), [&] { return created; });
        }
    });
    auto first = fake.createFile("/d/first");
    std::thread worker([&] {
        const QByteArray a("abc");
        first.value->write(std::as_bytes(std::span(a.constData(), 3)));
    });
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return inHook; });
    }
    QVERIFY(fake.createFile("/d/second").ok());
    worker.join();
    QVERIFY(!timedOut);
    QCOMPARE(fake.contents("/d/first"), std::string("abc"));
}

void tst_ConcurrentFiles::platformsSayWhetherTheyCopyConcurrently()
{
    auto posix = quietPlatform();
    QVERIFY(posix.allowsConcurrentCopies());
    FakePlatform fake;
    QVERIFY(!fake.allowsConcurrentCopies()); // one at a time unless a test asks
    fake.allowConcurrentCopies(true);
    QVERIFY(fake.allowsConcurrentCopies());
    struct Minimal final : Platform {
        Result<std::unique_ptr<File>> openForReading(const std::string&) override { return {}; }
        Result<std::unique_ptr<File>> createFile(const std::string&, std::uint32_t) override { return {}; }
        Result<std::unique_ptr<File>> createNewFile(const std::string&, std::uint32_t) override { return {}; }
        ErrorCode removeFile(const std::string&) override { return error::None; }
        ErrorCode renameFile(const std::string&, const std::string&, bool) override { return error::None; }
        Result<std::uint32_t> attributes(const std::string&) override { return {}; }
        ErrorCode makeDirectory(const std::string&, std::uint32_t) override { return error::None; }
        bool isDirectory(const std::string&) override { return false; }
        Result<FileIdentity> identityOf(const std::string&) override { return {}; }
        ErrorCode flushFolder(const std::string&) override { return error::None; }
        bool isRemovable(const std::string&) override { return false; }
        bool ignoresCase(const std::string&) override { return false; }
        Result<std::vector<DirectoryEntry>> listDirectory(const std::string&) override { return {}; }
        std::string driveFolder() const override { return "/A"; }
        Result<std::int64_t> driveFreeBytes() override { return {}; }
        FileSystemLimits fileSystemLimits(const std::string&) override { return {}; }
        std::vector<RemovableMedium> findMedia() override { return {}; }
        ErrorCode useMedium(const RemovableMedium&) override { return error::NotReady; }
        MediumRelease releaseMedium() override { return {}; }
        darvolt::ErrorCode openFileManager(const std::string&) override { return darvolt::error::None; }
    } minimal;
    QVERIFY(!minimal.allowsConcurrentCopies()); // wrappers that know nothing of it stay safe
}

QTEST_GUILESS_MAIN(tst_ConcurrentFiles)
#include "tst_concurrentfiles.moc"
