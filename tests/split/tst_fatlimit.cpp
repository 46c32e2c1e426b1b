// The 4 GiB limit of FAT for real: a sparse source above 4 GiB spanned onto
// a drive whose limits are those of a real FAT32 image larger than 4 GiB,
// as found on it mounted through FUSE. The stick takes a part of 4 GiB - 1
// and, without another prompt, a second part with the rest, MERGE.BAT, the
// checksum file and merge.sh.
// fusefat itself stores no file past 2 GiB, so the parts are written beside
// the image and put into it with mtools, which checks FAT's own limit; read
// back from the image, they rejoin to the source. Slow (some 8 GiB go
// through mtools): it runs in one stage of the checks only.

#include "platform/forwardingplatform.h"
#include "platform/posixplatform.h"
#include "parts/mergescript.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/sparsecompare.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return program + ": " + QString::fromLocal8Bit(p.readAll()).trimmed() + p.errorString();
    return QString();
}

constexpr off_t FatLimit = 0xFFFFFFFFLL;

} // namespace

class tst_FatLimit : public QObject {
    Q_OBJECT

private slots:
    void sourceAboveFourGiBTakesTwoPartsOnOneFatStick();
};

void tst_FatLimit::sourceAboveFourGiBTakesTwoPartsOnOneFatStick()
{
    for (const char* tool : {"fusefat", "mkfs.vfat", "mcopy", "mdir"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(QString(tool) + " is not installed (packages fusefat, dosfstools, mtools)"));
    if (!QFile::exists("/dev/fuse"))
        QSKIP("no /dev/fuse here");
    QTemporaryDir dir;
    const QString image = dir.filePath("stick.img"), stick = dir.filePath("stick"), drive = dir.filePath("drive");
    QVERIFY(QDir().mkpath(stick) && QDir().mkpath(drive));
    QCOMPARE(run("truncate", {"-s", "4608M", image}), QString());
    QCOMPARE(run("mkfs.vfat", {"-F", "32", "-s", "64", "-n", "BIGFAT", image}), QString());
    if (const QString why = run("fusefat", {"-o", "rw+", image, stick}); !why.isEmpty())
        QSKIP(qPrintable(why));
    darvolt::PosixPlatformOptions options;
    options.driveFolder = QFile::encodeName(drive).toStdString();
    options.driveMustBeMountPoint = false;
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform real(options);
    const darvolt::FileSystemLimits fat = real.fileSystemLimits(QFile::encodeName(stick).toStdString());
    QCOMPARE(run("fusermount", {"-u", stick}), QString());
    QCOMPARE(fat.largestFile, std::int64_t(FatLimit));

    // 4 GiB and 1 MiB, data at the start, around the limit and at the end.
    const off_t size = (off_t(4) << 30) + (1 << 20);
    const QByteArray source = QFile::encodeName(dir.filePath("big.bin"));
    QVERIFY(makeSparseFile(source, size,
                           {{0, QByteArray(65536, 'a')},
                            {FatLimit - 4096, QByteArray(8192, 'b')},
                            {size - 4096, QByteArray(4096, 'c')}}));
    // The drive folder holds the parts; its file system is the stick's.
    struct FatDrive final : darvolt::ForwardingPlatform {
        darvolt::FileSystemLimits limits;
        FatDrive(Platform& inner, darvolt::FileSystemLimits l) : ForwardingPlatform(inner), limits(l) {}
        darvolt::FileSystemLimits fileSystemLimits(const std::string&) override { return limits; }
    } platform(real, fat);
    RecordingView view;
    const auto outcome = SplitFile(platform, view, {"big.bin", QFile::encodeName(dir.path()).toStdString() + "/", 0}).outcome;
    QCOMPARE(outcome, darvolt::SplitOutcome::Done);
    QCOMPARE(view.prompts, 1);
    QCOMPARE(view.statuses(), (std::vector<std::string>{"Writing: big.bin.!00", "Writing: big.bin.!01"}));
    const QString first = drive + "/big.bin.!00", second = drive + "/big.bin.!01";
    QCOMPARE(QFileInfo(first).size(), qint64(FatLimit));
    QCOMPARE(QFileInfo(second).size(), qint64(size - FatLimit));
    QFile script(drive + "/MERGE.BAT");
    QVERIFY(script.open(QIODevice::ReadOnly));
    QCOMPARE(script.readAll().toStdString(), darvolt::MergeScriptText({"big.bin.!00", "big.bin.!01"}, "big.bin"));
    QVERIFY(QFileInfo(drive + "/big.bin.sha256").size() > 0 && QFileInfo(drive + "/merge.sh").size() > 0);

    // Onto the FAT32 image and back: FAT takes both parts, and they rejoin.
    qputenv("MTOOLS_SKIP_CHECK", "1");
    QCOMPARE(run("mcopy", {"-i", image, first, second, drive + "/MERGE.BAT", drive + "/big.bin.sha256",
                           drive + "/merge.sh", "::"}),
             QString());
    const QString back = dir.filePath("back");
    QVERIFY(QDir().mkpath(back));
    for (const QString& name : {QString("big.bin.!00"), QString("big.bin.!01")}) {
        QCOMPARE(run("mcopy", {"-i", image, "::" + name, back + "/" + name}), QString());
        QFile::remove(drive + "/" + name); // room for the next one: each holds some 4 GiB once read back
    }
    const int in = ::open(source.constData(), O_RDONLY);
    const int a = ::open(QFile::encodeName(back + "/big.bin.!00").constData(), O_RDONLY);
    const int b = ::open(QFile::encodeName(back + "/big.bin.!01").constData(), O_RDONLY);
    QString why;
    const bool same = rangesEqual(in, 0, a, 0, FatLimit, &why) && rangesEqual(in, FatLimit, b, 0, size - FatLimit, &why);
    for (const int fd : {in, a, b})
        ::close(fd);
    QVERIFY2(same, qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_FatLimit)
#include "tst_fatlimit.moc"
