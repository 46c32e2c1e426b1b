// The 4 GiB limit of FAT for real: a sparse source above 4 GiB spanned onto
// a FAT32 image larger than that, mounted with fusefat (the kernel here may
// have no vfat) and named as drive A:. The stick takes a part of 4 GiB - 1
// and, without another prompt, a second part with the rest and MERGE.BAT;
// the parts rejoin to the source. Slow (some 4 GiB go through FUSE): it runs
// in one stage of the checks only.

#include "platform/posixplatform.h"
#include "split/mergescript.h"
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
    if (QStandardPaths::findExecutable("fusefat").isEmpty() || QStandardPaths::findExecutable("mkfs.vfat").isEmpty())
        QSKIP("fusefat and mkfs.vfat (packages fusefat, dosfstools) are not installed");
    if (!QFile::exists("/dev/fuse"))
        QSKIP("no /dev/fuse here");
    QTemporaryDir dir;
    const QString image = dir.filePath("stick.img"), stick = dir.filePath("stick");
    QVERIFY(QDir().mkpath(stick));
    QCOMPARE(run("truncate", {"-s", "4608M", image}), QString());
    QCOMPARE(run("mkfs.vfat", {"-F", "32", "-s", "64", "-n", "BIGFAT", image}), QString());
    if (const QString why = run("fusefat", {"-o", "rw+", image, stick}); !why.isEmpty())
        QSKIP(qPrintable(why));
    struct Unmount {
        QString at;
        ~Unmount() { run("fusermount", {"-u", at}); }
    } unmount{stick};

    // 4 GiB and 1 MiB, data at the start, around the limit and at the end.
    const off_t size = (off_t(4) << 30) + (1 << 20);
    const QByteArray source = QFile::encodeName(dir.filePath("big.bin"));
    QVERIFY(makeSparseFile(source, size,
                           {{0, QByteArray(65536, 'a')},
                            {FatLimit - 4096, QByteArray(8192, 'b')},
                            {size - 4096, QByteArray(4096, 'c')}}));

    darvolt::PosixPlatformOptions options;
    options.driveFolder = QFile::encodeName(stick).toStdString();
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform platform(options);
    QCOMPARE(platform.fileSystemLimits(options.driveFolder).largestFile, std::int64_t(FatLimit));
    RecordingView view;
    const auto outcome = SplitFile(platform, view, "big.bin", QFile::encodeName(dir.path()).toStdString() + "/", 0);
    std::string said;
    for (const auto& entry : view.log)
        if (!entry.starts_with("pump") && !entry.starts_with("max ") && !entry.starts_with("pos "))
            said += entry + "; ";
    QVERIFY2(outcome == darvolt::SplitOutcome::Done, said.c_str());
    QCOMPARE(view.prompts, 1);
    QCOMPARE(view.statuses(), (std::vector<std::string>{"Writing: big.bin.!00", "Writing: big.bin.!01"}));

    const QString first = stick + "/big.bin.!00", second = stick + "/big.bin.!01";
    QCOMPARE(QFileInfo(first).size(), qint64(FatLimit));
    QCOMPARE(QFileInfo(second).size(), qint64(size - FatLimit));
    QFile script(stick + "/MERGE.BAT");
    QVERIFY(script.open(QIODevice::ReadOnly));
    QCOMPARE(script.readAll().toStdString(), darvolt::MergeScriptText({"big.bin.!00", "big.bin.!01"}, "big.bin"));

    // Rejoined, the parts are the source.
    const int in = ::open(source.constData(), O_RDONLY);
    const int a = ::open(QFile::encodeName(first).constData(), O_RDONLY);
    const int b = ::open(QFile::encodeName(second).constData(), O_RDONLY);
    QString why;
    const bool same = rangesEqual(in, 0, a, 0, FatLimit, &why) && rangesEqual(in, FatLimit, b, 0, size - FatLimit, &why);
    for (const int fd : {in, a, b})
        ::close(fd);
    QVERIFY2(same, qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_FatLimit)
#include "tst_fatlimit.moc"
