#include "platform/fakeplatform.h"
#include "platform/posixfile.h"
#include "platform/posixplatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace darvolt;

namespace {

std::string path(const QTemporaryDir& dir, const QString& name)
{
    return QFile::encodeName(dir.filePath(name)).toStdString();
}

void writeFile(const std::string& p, const QByteArray& data)
{
    QFile f(QFile::decodeName(QByteArray::fromStdString(p)));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

std::span<const std::byte> bytes(const QByteArray& a)
{
    return std::as_bytes(std::span(a.constData(), std::size_t(a.size())));
}

PosixPlatform quietPlatform(const std::string& drive = "/nonexistent-drive")
{
    PosixPlatformOptions options;
    options.driveFolder = drive;
    options.driveMustBeMountPoint = false;
    options.fileManagerCommand.clear();
    return PosixPlatform(options);
}

// A tmpfs mounted for one test, unmounted when it goes.
struct TmpfsMount {
    QByteArray where;
    bool mounted = false;
    QString why;
    TmpfsMount(const QString& dir, const char* options)
        : where(QFile::encodeName(dir))
    {
        if (::geteuid() != 0) {
            why = "mounting a tmpfs needs root";
            return;
        }
        mounted = ::mount("tmpfs", where.constData(), "tmpfs", 0, options) == 0;
        if (!mounted)
            why = QString::fromLocal8Bit(std::strerror(errno));
    }
    bool remountReadOnly()
    {
        return ::mount("tmpfs", where.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~TmpfsMount()
    {
        if (mounted)
            ::umount2(where.constData(), MNT_DETACH);
    }
};

} // namespace

class tst_PosixPlatform : public QObject {
    Q_OBJECT

private slots:
    void errnoMapsToWindowsNumbers_data();
    void errnoMapsToWindowsNumbers();
    void createWriteReadRoundTrip();
    void sizeIsSixtyFourBit();
    void readOnlyFileOpensForReadingAndStaysAsItWas();
    void specialFilesAreRefusedWithoutBlocking();
    void attributes_data();
    void attributes();
    void makeDirectoryMakesOneLevel();
    void listDirectoryNamesEntriesWithoutDots();
    void removeFileRefusesFolders();
    void newFilesAndRenamesNeverReplaceUnlessAsked_data();
    void newFilesAndRenamesNeverReplaceUnlessAsked();
    void copyToMovesDataAndKeepsHoles();
    void copyToFallsBackForForeignFiles();
    void driveFolderComesFromEnvironment();
    void missingOrUnmountedDriveIsNotReady();
    void readOnlyMediumIsWriteProtectedAndStillReadable();
    void fullMediumReportsDiskFull();
    void fileManagerStartsDetachedWithTheFolder();
    void aFileManagerThatCannotStartIsReported_data();
    void aFileManagerThatCannotStartIsReported();
    void helperProgramsRunInTheirFolderAndCanBeEnded_data();
    void helperProgramsRunInTheirFolderAndCanBeEnded();
};

void tst_PosixPlatform::errnoMapsToWindowsNumbers_data()
{
    QTest::addColumn<int>("errnoValue");
    QTest::addColumn<uint>("code");
    QTest::newRow("ENOENT") << ENOENT << 2u;
    QTest::newRow("ENOTDIR") << ENOTDIR << 3u;
    QTest::newRow("EACCES") << EACCES << 5u;
    QTest::newRow("EPERM") << EPERM << 5u;
    QTest::newRow("EROFS") << EROFS << 19u;
    QTest::newRow("ENOMEDIUM") << ENOMEDIUM << 21u;
    QTest::newRow("ENXIO") << ENXIO << 21u;
    QTest::newRow("ENOSPC") << ENOSPC << 39u;
    QTest::newRow("EDQUOT") << EDQUOT << 39u;
    QTest::newRow("EEXIST") << EEXIST << 183u;
    QTest::newRow("EXDEV") << EXDEV << 17u;
    QTest::newRow("EIO") << EIO << 1117u;
    QTest::newRow("other keeps its own number") << ELOOP << (0x20000000u | uint(ELOOP));
}

void tst_PosixPlatform::errnoMapsToWindowsNumbers()
{
    QFETCH(int, errnoValue);
    QFETCH(uint, code);
    QCOMPARE(errorFromErrno(errnoValue), ErrorCode(code));
}

void tst_PosixPlatform::createWriteReadRoundTrip()
{
    QTemporaryDir dir;
    auto platform = quietPlatform();
    const std::string p = path(dir, "a.bin");
    writeFile(p, "old contents that must go");
    auto created = platform.createFile(p);
    QVERIFY(created.ok());
    const QByteArray data = "hello";
    QCOMPARE(created.value->write(bytes(data)).value, std::size_t(5));
    QCOMPARE(created.value->close(), error::None);
    QCOMPARE(created.value->close(), error::None); // twice is harmless
    QCOMPARE(created.value->write(bytes(data)).error, error::InvalidHandle);

    auto opened = platform.openForReading(p);
    QVERIFY(opened.ok());
    std::byte buffer[16];
    const auto got = opened.value->read(buffer);
    QCOMPARE(got.value, std::size_t(5));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer), 5), data);
    QCOMPARE(opened.value->read(buffer).value, std::size_t(0));
    // Opened for reading only: writing through it fails.
    QVERIFY(!opened.value->write(bytes(data)).ok());
}

void tst_PosixPlatform::sizeIsSixtyFourBit()
{
    QTemporaryDir dir;
    const std::string p = path(dir, "big");
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::ftruncate(fd, 5000000000LL), 0);
    ::close(fd);
    auto platform = quietPlatform();
    auto opened = platform.openForReading(p);
    QVERIFY(opened.ok());
    QCOMPARE(opened.value->size().value, std::int64_t(5000000000LL));
}

void tst_PosixPlatform::readOnlyFileOpensForReadingAndStaysAsItWas()
{
    QTemporaryDir dir;
    const std::string p = path(dir, "ro.txt");
    writeFile(p, "content");
    QCOMPARE(::chmod(p.c_str(), 0444), 0);
    struct stat before {};
    ::stat(p.c_str(), &before);
    auto platform = quietPlatform();
    {
        auto opened = platform.openForReading(p);
        QVERIFY(opened.ok());
        std::byte buffer[64];
        QCOMPARE(opened.value->read(buffer).value, std::size_t(7));
    }
    QVERIFY(platform.attributes(p).value & attribute::ReadOnly);
    struct stat after {};
    ::stat(p.c_str(), &after);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_size, before.st_size);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_ctim.tv_sec, before.st_ctim.tv_sec);
    QCOMPARE(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
}

void tst_PosixPlatform::specialFilesAreRefusedWithoutBlocking()
{
    QTemporaryDir dir;
    auto platform = quietPlatform();
    // A FIFO without a writer would block a plain open for reading.
    const std::string fifo = path(dir, "pipe");
    QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
    QCOMPARE(platform.openForReading(fifo).error, error::FileNotFound);
    QCOMPARE(platform.attributes(fifo).value, attribute::Device);

    const std::string socketPath = path(dir, "sock");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    QVERIFY(!platform.openForReading(socketPath).ok());
    ::close(s);

    QCOMPARE(platform.openForReading("/dev/null").error, error::FileNotFound);
    QCOMPARE(platform.openForReading(QFile::encodeName(dir.path()).toStdString()).error, error::AccessDenied);
    QCOMPARE(platform.openForReading(path(dir, "missing")).error, error::FileNotFound);
}

void tst_PosixPlatform::attributes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode"); // 0: a folder
    QTest::addColumn<uint>("bits");
    QTest::newRow("file") << "f.txt" << 0644 << uint(attribute::Archive);
    QTest::newRow("read-only") << "r.txt" << 0444 << uint(attribute::Archive | attribute::ReadOnly);
    QTest::newRow("hidden") << ".h" << 0644 << uint(attribute::Archive | attribute::Hidden);
    QTest::newRow("folder") << "d" << 0 << uint(attribute::Directory);
}

void tst_PosixPlatform::attributes()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(uint, bits);
    QTemporaryDir dir;
    const std::string p = path(dir, name);
    if (mode == 0) {
        QVERIFY(QDir(dir.path()).mkdir(name));
    } else {
        writeFile(p, "x");
        QCOMPARE(::chmod(p.c_str(), mode_t(mode)), 0);
    }
    auto platform = quietPlatform();
    QCOMPARE(platform.attributes(p).value, std::uint32_t(bits));
    QCOMPARE(platform.isDirectory(p), mode == 0);
    QCOMPARE(platform.attributes(path(dir, "missing")).error, error::FileNotFound);
}

void tst_PosixPlatform::makeDirectoryMakesOneLevel()
{
    QTemporaryDir dir;
    auto platform = quietPlatform();
    QCOMPARE(platform.makeDirectory(path(dir, "A_PARTS")), error::None);
    QVERIFY(platform.isDirectory(path(dir, "A_PARTS")));
    QCOMPARE(platform.makeDirectory(path(dir, "A_PARTS")), error::AlreadyExists);
    QVERIFY(platform.makeDirectory(path(dir, "no/such/parent")) != error::None);
    QVERIFY(!platform.isDirectory(path(dir, "no")));
}

void tst_PosixPlatform::listDirectoryNamesEntriesWithoutDots()
{
    QTemporaryDir dir;
    writeFile(path(dir, "a"), "1");
    writeFile(path(dir, "b c"), "2");
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(QFile::link(dir.filePath("sub"), dir.filePath("link")));
    auto platform = quietPlatform();
    auto listing = platform.listDirectory(QFile::encodeName(dir.path()).toStdString());
    QVERIFY(listing.ok());
    QMap<QString, bool> seen;
    for (const auto& e : listing.value)
        seen[QString::fromStdString(e.name)] = e.isDirectory;
    QCOMPARE(seen, (QMap<QString, bool>{{"a", false}, {"b c", false}, {"sub", true}, {"link", true}}));
    QVERIFY(!platform.listDirectory(path(dir, "missing")).ok());
}

void tst_PosixPlatform::removeFileRefusesFolders()
{
    QTemporaryDir dir;
    auto platform = quietPlatform();
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QCOMPARE(platform.removeFile(path(dir, "sub")), error::AccessDenied);
    QVERIFY(platform.isDirectory(path(dir, "sub")));
    writeFile(path(dir, "f"), "x");
    QCOMPARE(platform.removeFile(path(dir, "f")), error::None);
    QCOMPARE(platform.removeFile(path(dir, "f")), error::FileNotFound);
}

void tst_PosixPlatform::newFilesAndRenamesNeverReplaceUnlessAsked_data()
{
    QTest::addColumn<bool>("fake");
    QTest::newRow("POSIX") << false;
    QTest::newRow("fake") << true;
}

void tst_PosixPlatform::newFilesAndRenamesNeverReplaceUnlessAsked()
{
    QFETCH(bool, fake);
    QTemporaryDir dir;
    FakePlatform fakePlatform;
    PosixPlatform posix;
    Platform& p = fake ? static_cast<Platform&>(fakePlatform) : posix;
    const std::string base = fake ? std::string("/t/") : QFile::encodeName(dir.path()).toStdString() + "/";
    if (fake)
        fakePlatform.addDirectory("/t");
    auto write = [&](const std::string& name, std::string_view text, bool fresh) {
        auto file = fresh ? p.createNewFile(base + name) : p.createFile(base + name);
        if (file.ok())
            file.value->write(std::as_bytes(std::span(text.data(), text.size())));
        return file.error;
    };
    auto read = [&](const std::string& name) {
        auto file = p.openForReading(base + name);
        std::string text(16, '\0');
        if (!file.ok())
            return std::string("<none>");
        text.resize(file.value->read(std::as_writable_bytes(std::span(text.data(), text.size()))).value);
        return text;
    };
    QCOMPARE(write("a", "old", false), error::None);
    QCOMPARE(write("a", "new", true), error::AlreadyExists);
    QCOMPARE(write("b", "bee", true), error::None);
    QCOMPARE(read("a"), std::string("old"));
    QCOMPARE(p.renameFile(base + "b", base + "a", false), error::AlreadyExists);
    QCOMPARE(read("a") + read("b"), std::string("oldbee"));
    QCOMPARE(p.renameFile(base + "b", base + "c", false), error::None);
    QCOMPARE(read("b") + read("c"), std::string("<none>bee"));
    QCOMPARE(p.renameFile(base + "c", base + "a", true), error::None);
    QCOMPARE(read("a") + read("c"), std::string("bee<none>"));
    QCOMPARE(p.renameFile(base + "gone", base + "x", false), error::FileNotFound);
}

void tst_PosixPlatform::copyToMovesDataAndKeepsHoles()
{
    QTemporaryDir dir;
    const std::string src = path(dir, "sparse");
    const int fd = ::open(src.c_str(), O_WRONLY | O_CREAT, 0644);
    const QByteArray head(5000, 'h'), tail(3000, 't');
    QCOMPARE(::pwrite(fd, head.constData(), 5000, 0), ssize_t(5000));
    QCOMPARE(::pwrite(fd, tail.constData(), 3000, 64 << 20), ssize_t(3000));
    ::close(fd);

    auto platform = quietPlatform();
    auto in = platform.openForReading(src);
    auto out = platform.createFile(path(dir, "copy"));
    QVERIFY(in.ok() && out.ok());
    std::uint64_t total = 0;
    int calls = 0;
    for (;;) {
        const auto moved = in.value->copyTo(*out.value, 1 << 20);
        ++calls;
        if (moved.fallBack || moved.bytes == 0) {
            std::byte b[16];
            QCOMPARE(in.value->read(b).value, std::size_t(0)); // only at the end
            break;
        }
        QVERIFY(moved.bytes <= (1u << 20));
        total += moved.bytes;
    }
    QCOMPARE(total, std::uint64_t((64 << 20) + 3000));
    QCOMPARE(out.value->close(), error::None);
    QFile copy(dir.filePath("copy"));
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.size(), qint64((64 << 20) + 3000));
    QCOMPARE(copy.read(5000), head);
    QVERIFY(copy.seek(64 << 20));
    QCOMPARE(copy.readAll(), tail);
    struct stat st {};
    ::stat(path(dir, "copy").c_str(), &st);
    QVERIFY2(st.st_blocks * 512 < (8 << 20), "the hole was written out");
}

void tst_PosixPlatform::copyToFallsBackForForeignFiles()
{
    struct Other final : File {
        Result<std::size_t> read(std::span<std::byte>) override { return {}; }
        Result<std::size_t> write(std::span<const std::byte> d) override { return {d.size(), error::None}; }
        Result<std::int64_t> size() override { return {}; }
        Result<FileIdentity> identity() override { return {}; }
        ErrorCode flush() override { return error::None; }
        ErrorCode close() override { return error::None; }
    } other;
    QTemporaryDir dir;
    writeFile(path(dir, "f"), "data");
    auto platform = quietPlatform();
    auto in = platform.openForReading(path(dir, "f"));
    const auto moved = in.value->copyTo(other, 100);
    QVERIFY(moved.fallBack);
    QCOMPARE(moved.bytes, std::uint64_t(0));
    QVERIFY(other.copyTo(*in.value, 10).fallBack); // the default: always fall back
}

void tst_PosixPlatform::driveFolderComesFromEnvironment()
{
    qputenv("DARVOLT_DRIVE_A", "/tmp/somewhere/");
    auto options = PosixPlatformOptions::fromEnvironment();
    QCOMPARE(options.driveFolder, std::string("/tmp/somewhere/"));
    QVERIFY(options.driveMustBeMountPoint); // a folder the user names must be a mount point too
    PosixPlatform named(options);
    QCOMPARE(named.driveFolder(), std::string("/tmp/somewhere"));
    QVERIFY(named.findMedia().empty()); // nothing is mounted there
    qunsetenv("DARVOLT_DRIVE_A");
    options = PosixPlatformOptions::fromEnvironment();
    QCOMPARE(options.driveFolder, std::string());
    // Until a medium is found, the drive shows where the desktop mounts them.
    QCOMPARE(PosixPlatform(options).driveFolder(), PosixPlatform::desktopMediaFolder());
}

void tst_PosixPlatform::missingOrUnmountedDriveIsNotReady()
{
    QTemporaryDir dir;
    auto missing = quietPlatform(path(dir, "floppy0"));
    QCOMPARE(missing.driveFreeBytes().error, error::NotReady);
    QCOMPARE(missing.createFile(path(dir, "floppy0/a.!00")).error, error::NotReady);

    // A plain folder is a ready drive when named explicitly ...
    QVERIFY(QDir(dir.path()).mkdir("floppy0"));
    auto folder = quietPlatform(path(dir, "floppy0"));
    QVERIFY(folder.driveFreeBytes().value > 0);
    QVERIFY(folder.createFile(path(dir, "floppy0/a.!00")).ok());

    // ... but not when a medium must be mounted on it.
    PosixPlatformOptions options;
    options.driveFolder = path(dir, "floppy0");
    options.driveMustBeMountPoint = true;
    PosixPlatform mountPoint(options);
    QCOMPARE(mountPoint.driveFreeBytes().error, error::NotReady);
    QCOMPARE(mountPoint.createFile(path(dir, "floppy0/a.!01")).error, error::NotReady);
    QVERIFY(!QFile::exists(dir.filePath("floppy0/a.!01")));
    // Files elsewhere are not affected by the drive's state.
    QVERIFY(mountPoint.createFile(path(dir, "elsewhere")).ok());

    TmpfsMount medium(dir.filePath("floppy0"), "size=1440k");
    if (!medium.mounted)
        QSKIP(qPrintable("the mounted case needs a tmpfs: " + medium.why));
    QCOMPARE(mountPoint.driveFreeBytes().value, std::int64_t(1474560));
    QVERIFY(mountPoint.createFile(path(dir, "floppy0/a.!01")).ok());
}

void tst_PosixPlatform::readOnlyMediumIsWriteProtectedAndStillReadable()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    TmpfsMount medium(dir.filePath("ro"), "size=64k");
    if (!medium.mounted)
        QSKIP(qPrintable(medium.why));
    writeFile(path(dir, "ro/source.txt"), "readable");
    QVERIFY(medium.remountReadOnly());
    auto platform = quietPlatform(path(dir, "ro"));
    QCOMPARE(platform.createFile(path(dir, "ro/a.!00")).error, error::WriteProtected);
    QCOMPARE(platform.removeFile(path(dir, "ro/source.txt")), error::WriteProtected);
    auto opened = platform.openForReading(path(dir, "ro/source.txt"));
    QVERIFY(opened.ok());
    QCOMPARE(opened.value->size().value, std::int64_t(8));
}

void tst_PosixPlatform::fullMediumReportsDiskFull()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("small"));
    TmpfsMount medium(dir.filePath("small"), "size=16k");
    if (!medium.mounted)
        QSKIP(qPrintable(medium.why));
    auto platform = quietPlatform(path(dir, "small"));
    const std::int64_t free = platform.driveFreeBytes().value;
    QCOMPARE(free, std::int64_t(16384));
    auto created = platform.createFile(path(dir, "small/f"));
    QVERIFY(created.ok());
    const QByteArray data(20000, 'x');
    const auto written = created.value->write(bytes(data));
    QCOMPARE(written.error, error::DiskFull);
    QCOMPARE(written.value, std::size_t(16384)); // what fitted is told
    QCOMPARE(platform.driveFreeBytes().value, std::int64_t(0));
}

void tst_PosixPlatform::fileManagerStartsDetachedWithTheFolder()
{
    QTemporaryDir dir;
    const std::string marker = path(dir, "opened");
    PosixPlatformOptions options;
    options.fileManagerCommand = {"/bin/sh", "-c", "printf %s \"$1\" > \"$0\"", marker};
    PosixPlatform platform(options);
    QCOMPARE(platform.openFileManager("/some folder/with blanks"), error::None);
    QTRY_COMPARE([&] {
        QFile f(QFile::decodeName(QByteArray::fromStdString(marker)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }(), QByteArray("/some folder/with blanks"));
}

void tst_PosixPlatform::aFileManagerThatCannotStartIsReported_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("verdictWaitMs");
    QTest::addColumn<ErrorCode>("expected");
    const auto sh = [](const char* script) { return QStringList{"/bin/sh", "-c", script}; };
    QTest::newRow("no such program") << QStringList{"/nonexistent/file-manager"} << 60000 << error::FileNotFound;
    QTest::newRow("launcher finds no handler") << sh("exit 3") << 60000 << error::AccessDenied;
    QTest::newRow("launcher killed") << sh("kill -9 $$") << 60000 << error::AccessDenied;
    QTest::newRow("launcher hands over") << sh("exit 0") << 60000 << error::None;
    // A launcher that runs the file manager in the foreground is not waited for.
    QTest::newRow("launcher stays") << sh("exec sleep 3") << 50 << error::None;
    QTest::newRow("none wanted") << QStringList{} << 60000 << error::None;
}

void tst_PosixPlatform::aFileManagerThatCannotStartIsReported()
{
    QFETCH(QStringList, command);
    QFETCH(int, verdictWaitMs);
    QFETCH(ErrorCode, expected);
    PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    for (const QString& word : command)
        options.fileManagerCommand.push_back(word.toStdString());
    options.fileManagerVerdictWait = std::chrono::milliseconds(verdictWaitMs);
    QCOMPARE(PosixPlatform(options).openFileManager("/tmp"), expected);
    // Nothing of it is our child: no zombie is left behind.
    errno = 0;
    QCOMPARE(::waitpid(-1, nullptr, WNOHANG), pid_t(-1));
    QCOMPARE(errno, ECHILD);
}

void tst_PosixPlatform::helperProgramsRunInTheirFolderAndCanBeEnded_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<bool>("end"); // terminate() once the first output has come
    QTest::addColumn<int>("started"); // the error of startProcess
    QTest::addColumn<QByteArray>("output"); // "@" is the folder
    QTest::addColumn<int>("status");
    // The request adds DARVOLT_ADDED=added and PATH=/nowhere to the environment.
    QTest::newRow("output of both streams, in the folder, with the user's own PATH")
        << QStringList{"sh", "-c",
                       "pwd; echo oops >&2; echo \"$DARVOLT_ADDED\"; [ \"$PATH\" = /nowhere ] || echo kept; "
                       "read x || echo no input; exit 3"}
        << false << int(error::None) << QByteArray("@\noops\nadded\nkept\nno input\n") << 3;
    QTest::newRow("ended when asked") << QStringList{"sh", "-c", "echo on; exec sleep 60"} << true << int(error::None)
                                      << QByteArray("on\n") << 128 + SIGTERM;
    QTest::newRow("not installed") << QStringList{"darvolt-no-such-program"} << false << int(error::FileNotFound)
                                   << QByteArray() << 0;
}

void tst_PosixPlatform::helperProgramsRunInTheirFolderAndCanBeEnded()
{
    QFETCH(QStringList, command);
    QFETCH(bool, end);
    QFETCH(int, started);
    QFETCH(QByteArray, output);
    QFETCH(int, status);
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(QDir(dir.path()).canonicalPath()).toStdString();
    ProcessRequest request{{}, folder, {"DARVOLT_ADDED=added", "PATH=/nowhere"}};
    for (const QString& word : command)
        request.command.push_back(word.toStdString());
    PosixPlatform platform;
    auto process = platform.startProcess(request);
    QCOMPARE(int(process.error), started);
    if (!process.ok())
        return;
    std::string said;
    while (process.value->readOutput(said, std::chrono::milliseconds(50)))
        if (end && !said.empty())
            process.value->terminate();
    QCOMPARE(QByteArray::fromStdString(said), output.replace("@", QByteArray::fromStdString(folder)));
    QCOMPARE(process.value->exitStatus(), status);
}

QTEST_GUILESS_MAIN(tst_PosixPlatform)
#include "tst_posixplatform.moc"
