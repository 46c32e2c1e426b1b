// Spanning onto a real size-limited medium: a 1440 KB tmpfs mounted as drive A:.

#include "platform/posixplatform.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// A mounted tmpfs that is unmounted when it goes.
class Diskette {
public:
    explicit Diskette(const QString& where) : path_(QFile::encodeName(where)) {}
    ~Diskette() { eject(); }
    QString insert()
    {
        if (::mount("tmpfs", path_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1440k,mode=0777") != 0)
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
    QCOMPARE(SplitFile(platform, view, "report.doc", folder, 0), darvolt::SplitOutcome::Done);

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
    QVERIFY(readAll(drive + "/MERGE.BAT").startsWith("ECHO OFF\r\nCopy /B \"report.doc.!00\"+\"report.doc.!01\""));
}

QTEST_GUILESS_MAIN(tst_RealMedium)
#include "tst_realmedium.moc"
