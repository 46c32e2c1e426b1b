// Removable media found in the real mount table (the way without the disk
// service), what happens when a stick is pulled, and the file-size limit of a
// real FAT file system through FUSE. Loop devices stand in for USB sticks: a
// sysfs tree of the test's own puts them on a USB bus, and a label folder of
// its own names them. (A drive folder named by the user is tried in the
// darvolt-split program tests.)

#include "platform/posixplatform.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using darvolt::PosixPlatform;
using darvolt::PosixPlatformOptions;
using darvolt::SplitOutcome;
namespace texts = darvolt::texts;

namespace {

// Runs a command; an empty string when it worked, else what went wrong.
QString run(const QString& program, const QStringList& args, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return program + ": " + QString::fromLocal8Bit(p.readAll()).trimmed() + p.errorString();
    if (output != nullptr)
        *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return QString();
}

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// An ext2 image on a loop device that looks like a USB stick in the test's
// sysfs and label folders; mounted and unmounted as a desktop would.
class Stick {
public:
    Stick(const QTemporaryDir& dir, const QString& label, const QString& size) : label_(label)
    {
        image_ = dir.filePath(label + ".img");
        why_ = run("truncate", {"-s", size, image_});
        if (why_.isEmpty())
            why_ = run("mkfs.ext2", {"-q", "-F", "-m", "0", "-L", label, image_});
        if (why_.isEmpty())
            why_ = run("losetup", {"-f", "--show", image_}, &device_);
        struct stat st {};
        if (why_.isEmpty() && ::stat(bytes(device_).c_str(), &st) != 0)
            why_ = device_ + ": " + QString::fromLocal8Bit(std::strerror(errno));
        if (!why_.isEmpty())
            return;
        // A USB disk as the kernel files it, and udev's link by label.
        const QString name = device_.section('/', -1);
        const QString node = dir.filePath("sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host9/block/" + name);
        const QString link = dir.filePath(QString("sys/dev/block/%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev)));
        QDir().mkpath(node);
        QDir().mkpath(dir.filePath("sys/dev/block"));
        QDir().mkpath(dir.filePath("by-label"));
        QFile::link(node, link);
        QFile::link(device_, dir.filePath("by-label/" + QString(label).replace(' ', "\\x20")));
    }
    ~Stick()
    {
        pull();
        if (!device_.isEmpty())
            run("losetup", {"-d", device_});
    }
    QString why() const { return why_; }
    QString insert(const QString& at)
    {
        QDir().mkpath(at);
        const QString why = run("mount", {device_, at});
        if (why.isEmpty())
            at_ = at;
        return why;
    }
    void pull()
    {
        if (!at_.isEmpty())
            run("umount", {at_});
        at_.clear();
    }
    QString folder() const { return at_; }

private:
    QString label_, image_, device_, at_, why_;
};

PosixPlatformOptions mountTableOptions(const QTemporaryDir& dir)
{
    PosixPlatformOptions options;
    options.useDiskService = false;
    options.sysRoot = bytes(dir.filePath("sys"));
    options.labelFolder = bytes(dir.filePath("by-label"));
    options.fileManagerCommand.clear();
    return options;
}

QString needRoot(const char* what)
{
    return ::geteuid() == 0 ? QString() : QString(what) + " needs root";
}

} // namespace

class tst_MountedMedia : public QObject {
    Q_OBJECT

private slots:
    void mountTableFindsUsbSticksWithLabelSizeAndFolder();
    void spansOverSticksSwappedAndPulledBetweenPrompts();
    void fatThroughFuseCapsFilesAtFourGiB();
};

void tst_MountedMedia::mountTableFindsUsbSticksWithLabelSizeAndFolder()
{
    if (const QString why = needRoot("loop devices"); !why.isEmpty())
        QSKIP(qPrintable(why));
    QTemporaryDir dir;
    Stick stick(dir, "DV STICK", "4M");
    if (!stick.why().isEmpty())
        QSKIP(qPrintable("no loop device here: " + stick.why()));
    PosixPlatform platform(mountTableOptions(dir));
    QVERIFY(platform.findMedia().empty()); // plugged in, not mounted: the mount table knows nothing

    QCOMPARE(stick.insert(dir.filePath("media/DV STICK")), QString());
    const auto media = platform.findMedia();
    QCOMPARE(media.size(), std::size_t(1));
    QCOMPARE(media[0].label, std::string("DV STICK"));
    QCOMPARE(media[0].folder, bytes(dir.filePath("media/DV STICK")));
    QVERIFY(media[0].size > 3'000'000 && media[0].size <= 4 * 1024 * 1024);
    QVERIFY(!media[0].ejectable);

    QCOMPARE(platform.useMedium(media[0]), darvolt::error::None);
    QCOMPARE(platform.driveFolder(), media[0].folder);
    QVERIFY(platform.driveFreeBytes().value > 3'000'000);
    QVERIFY(platform.createFile(media[0].folder + "/a.!00").ok());
    QCOMPARE(platform.fileSystemLimits(media[0].folder).largestFile, INT64_MAX);
    // Pulled out: what is left is an empty folder, and no drive.
    stick.pull();
    QCOMPARE(platform.driveFreeBytes().error, darvolt::error::NotReady);
    QCOMPARE(platform.createFile(media[0].folder + "/a.!01").error, darvolt::error::NotReady);
    QVERIFY(!QFile::exists(dir.filePath("media/DV STICK/a.!01")));
    const auto release = platform.releaseMedium();
    QCOMPARE(release.error, darvolt::error::None);
    QVERIFY(!release.unmounted); // the program never unmounts what it did not mount
}

void tst_MountedMedia::spansOverSticksSwappedAndPulledBetweenPrompts()
{
    if (const QString why = needRoot("loop devices"); !why.isEmpty())
        QSKIP(qPrintable(why));
    QTemporaryDir dir;
    Stick one(dir, "ONE", "2M"), two(dir, "TWO", "2M");
    if (!one.why().isEmpty() || !two.why().isEmpty())
        QSKIP(qPrintable("no loop device here: " + one.why() + two.why()));
    const std::string data = patternBytes(3'000'000, 11);
    {
        QFile f(dir.filePath("report.doc"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data.data(), qint64(data.size())) == qint64(data.size()));
    }
    PosixPlatform platform(mountTableOptions(dir));
    QByteArray joined;
    RecordingView view;
    view.onPrompt = [&](int n) {
        if (n == 0) // ONE comes in
            return one.insert(dir.filePath("media/ONE")).isEmpty();
        if (n == 1) { // ONE goes out, and OK is pressed with nothing in
            joined += readAll(one.folder() + "/report.doc.!00");
            one.pull();
            return true;
        }
        return n == 2 && two.insert(dir.filePath("media/TWO")).isEmpty();
    };
    const std::string folder = bytes(dir.path()) + "/";
    QCOMPARE(SplitFile(platform, view, {"report.doc", folder, 0}).outcome, SplitOutcome::Done);
    QCOMPARE(view.dialogs(), (std::vector<std::string>{"prompt " + texts::diskettePrompt(1),
                                                       "prompt " + texts::diskettePrompt(2),
                                                       "error " + std::string(texts::NotReady),
                                                       "prompt " + texts::diskettePrompt(2),
                                                       "information " + texts::spanned("report.doc", false)}));
    joined += readAll(two.folder() + "/report.doc.!01");
    QVERIFY(joined == QByteArray::fromStdString(data));
    QVERIFY(readAll(two.folder() + "/MERGE.BAT").startsWith("ECHO OFF\r\n"));
    const QByteArray whole = QCryptographicHash::hash(joined, QCryptographicHash::Sha256).toHex();
    QVERIFY(readAll(two.folder() + "/report.doc.sha256").endsWith(whole + "  report.doc\n"));
    QVERIFY(readAll(two.folder() + "/merge.sh").startsWith("#!/bin/sh\n"));
    // Nothing landed beneath ONE's empty mount folder.
    QVERIFY(QDir(dir.filePath("media/ONE")).isEmpty());
}

void tst_MountedMedia::fatThroughFuseCapsFilesAtFourGiB()
{
    if (QStandardPaths::findExecutable("fusefat").isEmpty() || QStandardPaths::findExecutable("mkfs.vfat").isEmpty())
        QSKIP("fusefat and mkfs.vfat (packages fusefat, dosfstools) are not installed");
    if (!QFile::exists("/dev/fuse"))
        QSKIP("no /dev/fuse here");
    QTemporaryDir dir;
    const QString image = dir.filePath("fat.img"), at = dir.filePath("fat");
    QVERIFY(QDir().mkpath(at));
    QCOMPARE(run("truncate", {"-s", "64M", image}), QString());
    QCOMPARE(run("mkfs.vfat", {"-F", "32", "-s", "8", "-n", "FATSTICK", image}), QString());
    if (const QString why = run("fusefat", {"-o", "rw+", image, at}); !why.isEmpty())
        QSKIP(qPrintable(why));
    PosixPlatform platform(mountTableOptions(dir));
    const auto fat = platform.fileSystemLimits(bytes(at + "/not-yet.!00"));
    const auto tmp = platform.fileSystemLimits(bytes(dir.path()));
    run("fusermount", {"-u", at});
    QCOMPARE(fat.largestFile, std::int64_t(0xFFFFFFFF));
    QVERIFY(fat.allocationUnit >= 512);
    QCOMPARE(tmp.largestFile, INT64_MAX);
}

QTEST_GUILESS_MAIN(tst_MountedMedia)
#include "tst_mountedmedia.moc"
