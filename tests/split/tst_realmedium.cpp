// Spanning onto real size-limited media mounted as drive A:: a 1440 KB tmpfs,
// ext2 images on loop devices whose file system needs blocks of its own, and
// one on a backing file that cannot grow, which fails only at write-back.

#include "platform/posixplatform.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// A mounted tmpfs that is unmounted when it goes.
class Diskette {
public:
    explicit Diskette(const QString& where) : path_(QFile::encodeName(where)) {}
    ~Diskette() { eject(); }
    QString insert(const char* size = "1440k")
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0777";
        if (::mount("tmpfs", path_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        mounted_ = true;
        return QString();
    }
    void eject()
    {
        if (mounted_)
            ::umount2(path_.constData(), MNT_DETACH);
        mounted_ = false;
    }

private:
    QByteArray path_;
    bool mounted_ = false;
};

// Runs a command; an empty string when it worked, else what it said.
QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return program + ": " + QString::fromLocal8Bit(p.readAll()).trimmed() + p.errorString();
    return QString();
}

// An ext2 image (no blocks kept for root) that can be mounted on a folder
// through a loop device, and is unmounted when it goes.
class Ext2Medium {
public:
    Ext2Medium(QString image, const QString& size) : image_(std::move(image))
    {
        why_ = run("truncate", {"-s", size, image_});
        if (why_.isEmpty())
            why_ = run("mkfs.ext2", {"-q", "-F", "-m", "0", image_});
    }
    ~Ext2Medium() { eject(); }
    QString insert(const QString& at)
    {
        if (why_.isEmpty() && (why_ = run("mount", {"-o", "loop", image_, at})).isEmpty())
            at_ = at;
        return why_;
    }
    void eject()
    {
        if (!at_.isEmpty())
            run("umount", {at_});
        at_.clear();
    }

private:
    QString image_;
    QString at_;
    QString why_;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class tst_RealMedium : public QObject {
    Q_OBJECT

private slots:
    void spansOntoTwoTmpfsDiskettes();
    void partsEndWhereAnExt2MediumIsReallyFull();
    void writeBackFailureIsAWriteError();

private:
    darvolt::PosixPlatform platformOn(const QString& drive)
    {
        darvolt::PosixPlatformOptions options;
        options.driveFolder = QFile::encodeName(drive).toStdString();
        options.fileManagerCommand.clear();
        return darvolt::PosixPlatform(options);
    }
};

void tst_RealMedium::spansOntoTwoTmpfsDiskettes()
{
    if (::geteuid() != 0)
        QSKIP("mounting a 1440 KB tmpfs needs root");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString drive = dir.filePath("floppy0");
    QVERIFY(QDir().mkpath(drive));
    Diskette diskette(drive);
    if (const QString why = diskette.insert(); !why.isEmpty())
        QSKIP(qPrintable("cannot mount a tmpfs here: " + why));

    const std::string data = patternBytes(2000000, 5);
    {
        QFile f(dir.filePath("report.doc"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data.data(), qint64(data.size()));
    }
    // The first diskette comes in full of someone else's file.
    {
        QFile filler(drive + "/filler.bin");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray mb(1 << 20, 'f');
        while (filler.write(mb) > 0 && filler.error() == QFileDevice::NoError) {
        }
    }

    darvolt::PosixPlatformOptions options;
    options.driveFolder = QFile::encodeName(drive).toStdString();
    options.driveMustBeMountPoint = true; // the tmpfs is a real mount point
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform platform(options);

    QByteArray firstPart;
    RecordingView view;
    view.onPrompt = [&](int n) {
        if (n == 1) { // after "full": take the filled diskette out, put in an empty one
            diskette.eject();
            return diskette.insert().isEmpty();
        }
        if (n == 2) { // after the first part: keep it, then swap
            firstPart = readAll(drive + "/report.doc.!00");
            diskette.eject();
            return diskette.insert().isEmpty();
        }
        return true;
    };

    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QCOMPARE(SplitFile(platform, view, {"report.doc", folder, 0}).outcome, darvolt::SplitOutcome::Done);

    const std::string full = "error " + std::string(darvolt::texts::DisketteFull);
    QCOMPARE(view.dialogs(), (std::vector<std::string>{
                                 "prompt " + darvolt::texts::diskettePrompt(1), full,
                                 "prompt " + darvolt::texts::diskettePrompt(1),
                                 "prompt " + darvolt::texts::diskettePrompt(2),
                                 "information " + darvolt::texts::spanned("report.doc", false)}));
    QCOMPARE(firstPart.size(), qsizetype(1474560)); // the whole 1440 KB
    const QByteArray secondPart = readAll(drive + "/report.doc.!01");
    QCOMPARE(secondPart.size(), qsizetype(2000000 - 1474560));
    QVERIFY(firstPart + secondPart == QByteArray::fromStdString(data));
    QVERIFY(readAll(drive + "/MERGE.BAT").contains("\r\nCopy /B \"report.doc.!00\"+\"report.doc.!01\""));
}

void tst_RealMedium::partsEndWhereAnExt2MediumIsReallyFull()
{
    if (::geteuid() != 0)
        QSKIP("mounting loop devices needs root");
    QTemporaryDir dir;
    const QString drive = dir.filePath("floppy0");
    QVERIFY(QDir().mkpath(drive));
    std::vector<std::unique_ptr<Ext2Medium>> media;
    for (int i = 0; i < 3; ++i)
        media.push_back(std::make_unique<Ext2Medium>(dir.filePath(QString("disk%1.img").arg(i)), "1440K"));
    if (const QString why = media[0]->insert(drive); !why.isEmpty())
        QSKIP(qPrintable("cannot mount an ext2 image here: " + why));

    const std::string data = patternBytes(2000000, 8);
    {
        QFile f(dir.filePath("report.doc"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data.data(), qint64(data.size())) == qint64(data.size()));
    }
    auto platform = platformOn(drive);
    QByteArray joined;
    RecordingView view;
    view.onPrompt = [&](int n) {
        if (n == 0)
            return true;
        joined += readAll(drive + QString("/report.doc.!%1").arg(n - 1, 2, 10, QChar('0')));
        media[std::size_t(n - 1)]->eject();
        return media[std::size_t(n)]->insert(drive).isEmpty();
    };
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QCOMPARE(SplitFile(platform, view, {"report.doc", folder, 0}).outcome, darvolt::SplitOutcome::Done);
    const int prompts = view.prompts;
    joined += readAll(drive + QString("/report.doc.!%1").arg(prompts - 1, 2, 10, QChar('0')));
    QVERIFY(joined == QByteArray::fromStdString(data));
    for (const auto& d : view.dialogs())
        QVERIFY2(!d.starts_with("error "), d.c_str());
    QVERIFY(QFile::exists(drive + "/MERGE.BAT"));
}

void tst_RealMedium::writeBackFailureIsAWriteError()
{
    if (::geteuid() != 0)
        QSKIP("mounting a tmpfs and loop devices needs root");
    // An 8 MB ext2 image on a 1 MB tmpfs: writes land in the page cache and
    // fail only when they are written back, as on a thin-provisioned disk.
    QTemporaryDir dir;
    const QString backing = dir.filePath("backing");
    const QString drive = dir.filePath("floppy0");
    QVERIFY(QDir().mkpath(backing) && QDir().mkpath(drive));
    Diskette small(backing);
    if (const QString why = small.insert("1m"); !why.isEmpty())
        QSKIP(qPrintable("cannot mount a tmpfs here: " + why));
    Ext2Medium medium(backing + "/disk.img", "8M");
    if (const QString why = medium.insert(drive); !why.isEmpty())
        QSKIP(qPrintable("cannot mount an ext2 image here: " + why));

    const std::string data = patternBytes(3000000, 9);
    {
        QFile f(dir.filePath("report.doc"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data.data(), qint64(data.size())) == qint64(data.size()));
    }
    auto platform = platformOn(drive);
    RecordingView view;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QCOMPARE(SplitFile(platform, view, {"report.doc", folder, 0}).outcome, darvolt::SplitOutcome::Failed);
    QCOMPARE(view.dialogs(), (std::vector<std::string>{"prompt " + darvolt::texts::diskettePrompt(1),
                                                       "error " + std::string(darvolt::texts::WriteFailed)}));
}

QTEST_GUILESS_MAIN(tst_RealMedium)
#include "tst_realmedium.moc"
