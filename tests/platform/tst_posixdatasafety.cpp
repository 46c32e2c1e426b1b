// The POSIX layer's part in keeping data safe: a source that shrinks is
// never padded with zeros, reading leaves its access time alone, its
// identity tells a change, and removable devices are told from sysfs.

#include "platform/posixdevices.h"
#include "platform/posixfile.h"
#include "platform/posixplatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace darvolt;

namespace {

std::string encoded(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

PosixPlatform platformWith(const QString& sysRoot = "/sys", const QString& mountInfo = "/proc/self/mountinfo")
{
    PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    options.sysRoot = encoded(sysRoot);
    options.mountInfoPath = encoded(mountInfo);
    return PosixPlatform(options);
}

} // namespace

class tst_PosixDataSafety : public QObject {
    Q_OBJECT

private slots:
    void shrunkSourceIsNeverPaddedWithZeros();
    void readingLeavesTheAccessTime();
    void identityTellsAChange();
    void removableDevicesAreToldFromSysfs_data();
    void removableDevicesAreToldFromSysfs();
    void mountTableNamesTheDeviceOfAFolder();
};

void tst_PosixDataSafety::shrunkSourceIsNeverPaddedWithZeros()
{
    QTemporaryDir dir;
    const std::string source = encoded(dir.filePath("source"));
    const int fd = ::open(source.c_str(), O_CREAT | O_WRONLY, 0644);
    const QByteArray head(1 << 20, 'd');
    QVERIFY(::write(fd, head.constData(), std::size_t(head.size())) == head.size());
    QVERIFY(::ftruncate(fd, 4 << 20) == 0); // a sparse tail: hole search in use
    auto platform = platformWith();
    auto in = platform.openForReading(source);
    auto out = platform.createFile(encoded(dir.filePath("part")));
    QVERIFY(in.ok() && out.ok());
    for (std::uint64_t copied = 0; copied < (1 << 20);) {
        const CopyResult moved = in.value->copyRangeTo(std::int64_t(copied), *out.value, (1 << 20) - copied);
        QVERIFY(!moved.fallBack && moved.bytes > 0);
        copied += moved.bytes;
    }
    QVERIFY(!in.value->copyRangeTo(1 << 20, *out.value, 1 << 20).fallBack); // a hole, copied as one

    QVERIFY(::ftruncate(fd, 1 << 20) == 0); // rotated away under the run
    ::close(fd);
    const CopyResult past = in.value->copyRangeTo(2 << 20, *out.value, 1 << 20);
    QVERIFY(past.fallBack);
    QCOMPARE(past.bytes, std::uint64_t(0));
    std::byte b[16];
    QCOMPARE(in.value->readAt(2 << 20, b).value, std::size_t(0));
    QCOMPARE(out.value->size().value, std::int64_t(2 << 20));
}

void tst_PosixDataSafety::readingLeavesTheAccessTime()
{
    QTemporaryDir dir;
    const std::string source = encoded(dir.filePath("source"));
    QFile f(dir.filePath("source"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("some data") == 9);
    f.close();
    // An access time older than the modification: relatime would renew it.
    const struct timespec times[2] = {{946684800, 0}, {0, UTIME_OMIT}};
    QVERIFY(::utimensat(AT_FDCWD, source.c_str(), times, 0) == 0);
    auto platform = platformWith();
    auto in = platform.openForReading(source);
    std::byte b[9];
    QCOMPARE(in.value->readAt(0, b).value, std::size_t(9));
    in.value->close();
    struct stat st {};
    QVERIFY(::stat(source.c_str(), &st) == 0);
    QCOMPARE(qint64(st.st_atim.tv_sec), qint64(946684800));
}

void tst_PosixDataSafety::identityTellsAChange()
{
    QTemporaryDir dir;
    const std::string source = encoded(dir.filePath("source"));
    QFile f(dir.filePath("source"));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("12345") == 5);
    f.flush();
    auto platform = platformWith();
    auto in = platform.openForReading(source);
    const FileIdentity before = in.value->identity().value;
    QCOMPARE(before.size, std::int64_t(5));
    QVERIFY(platform.identityOf(source).value == before);
    QVERIFY(platform.identityOf(source).value.sameFile(before));
    QVERIFY(!platform.identityOf(encoded(dir.path())).value.sameFile(before));
    // Same size, other bytes: the modification time moves.
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    QVERIFY(::utimensat(AT_FDCWD, source.c_str(), times, 0) == 0);
    QVERIFY(!(in.value->identity().value == before));
    QVERIFY(in.value->identity().value.sameFile(before));
    QCOMPARE(in.value->flush(), error::None);
}

void tst_PosixDataSafety::removableDevicesAreToldFromSysfs_data()
{
    QTest::addColumn<QString>("device"); // where /sys/dev/block/M:m leads, under devices/
    QTest::addColumn<QString>("removableFlag"); // of the folder one up, "" for none
    QTest::addColumn<bool>("removable");
    QTest::newRow("USB stick partition") << "pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host6/block/sdb/sdb1" << "0" << true;
    QTest::newRow("memory card") << "platform/fe320000.mmc/mmc_host/mmc1/mmc1:aaaa/block/mmcblk1/mmcblk1p1" << "0"
                                 << true;
    QTest::newRow("partition of a removable disk") << "pci0000:00/ata2/host1/block/sdc/sdc1" << "1" << true;
    QTest::newRow("fixed SATA disk") << "pci0000:00/ata1/host0/block/sda/sda2" << "0" << false;
    QTest::newRow("virtual disk") << "pci0000:00/0000:00:02.0/virtio1/block/vda" << "" << false;
}

void tst_PosixDataSafety::removableDevicesAreToldFromSysfs()
{
    QFETCH(QString, device);
    QFETCH(QString, removableFlag);
    QFETCH(bool, removable);
    QTemporaryDir sys;
    QTemporaryDir folder; // on whatever disk holds the temporary folders
    struct stat st {};
    QVERIFY(::stat(encoded(folder.path()).c_str(), &st) == 0);
    if (major(st.st_dev) == 0)
        QSKIP("the temporary folder is not on a block device");
    const QString target = sys.filePath("devices/" + device);
    QVERIFY(QDir().mkpath(target) && QDir().mkpath(sys.filePath("dev/block")));
    if (!removableFlag.isEmpty()) {
        QFile flag(target.left(target.lastIndexOf('/')) + "/removable");
        QVERIFY(flag.open(QIODevice::WriteOnly) && flag.write(removableFlag.toLatin1() + "\n") > 0);
    }
    const QString link = sys.filePath(QString("dev/block/%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev)));
    QVERIFY(QFile::link(target, link));
    QCOMPARE(platformWith(sys.path()).isRemovable(encoded(folder.path())), removable);
}

void tst_PosixDataSafety::mountTableNamesTheDeviceOfAFolder()
{
    QTemporaryDir dir;
    QFile table(dir.filePath("mountinfo"));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write("22 27 0:21 / /proc rw - proc proc rw\n"
                "40 27 0:45 / /media/me/MY\\040STICK rw,nosuid shared:1 - fuse.fusefat /dev/sdb1 rw\n"
                "41 27 0:45 / /media/me/later rw - vfat /dev/sdc1 rw\n");
    table.close();
    const auto mount = MountOfDevice(makedev(0, 45), encoded(dir.filePath("mountinfo")));
    QVERIFY(mount.has_value());
    QCOMPARE(QString::fromStdString(mount->mountPoint), QString("/media/me/later")); // the last one hides the first
    QCOMPARE(QString::fromStdString(mount->fsType), QString("vfat"));
    QVERIFY(!MountOfDevice(makedev(0, 99), encoded(dir.filePath("mountinfo"))).has_value());
    table.open(QIODevice::WriteOnly);
    table.write("40 27 0:45 / /media/me/MY\\040STICK rw,nosuid shared:1 - fuse.fusefat /dev/sdb1 rw\n");
    table.close();
    QCOMPARE(QString::fromStdString(MountOfDevice(makedev(0, 45), encoded(dir.filePath("mountinfo")))->mountPoint),
             QString("/media/me/MY STICK"));
}

QTEST_GUILESS_MAIN(tst_PosixDataSafety)
#include "tst_posixdatasafety.moc"
