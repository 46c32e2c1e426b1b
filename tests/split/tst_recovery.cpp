// Recovery data from the split engine: how much it makes, what the view
// shows meanwhile, how a stopped run or an unusable name leaves the split,
// and, on real files, that par2 (par2cmdline) finds every set complete and
// rebuilds lost and damaged parts from it, however the work was cut.

#include "platform/fakeplatform.h"
#include "platform/posixplatform.h"
#include "parts/par2tool.h"
#include "split/recoverydata.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace darvolt;

class tst_Recovery : public QObject {
    Q_OBJECT

private slots:
    void plansWholePartsOfAtLeastThePercentage_data();
    void plansWholePartsOfAtLeastThePercentage();
    void progressFollowsTheStages();
    void splitWritesRecoveryDataOrSaysWhyNot_data();
    void splitWritesRecoveryDataOrSaysWhyNot();
    void par2RepairsFromTheSet_data();
    void par2RepairsFromTheSet();
};

void tst_Recovery::plansWholePartsOfAtLeastThePercentage_data()
{
    QTest::addColumn<qint64>("partSize");
    QTest::addColumn<qint64>("sourceSize");
    QTest::addColumn<int>("percent");
    QTest::addColumn<qint64>("blocks"); // of partSize bytes (0: none possible)
    QTest::addColumn<qint64>("dataParts");
    QTest::newRow("10 parts, 10%: one part") << 1000LL << 10000LL << 10 << 1LL << 10LL;
    QTest::newRow("10 parts, the last short: still one") << 1000LL << 9500LL << 10 << 1LL << 10LL;
    QTest::newRow("10%, rounded up") << 1000LL << 10001LL << 10 << 2LL << 11LL;
    QTest::newRow("a small share is one part") << 1457664LL << 3000000LL << 1 << 1LL << 3LL;
    QTest::newRow("2 GiB of diskettes, 10%") << 1457664LL << (2LL << 30) << 10 << 148LL << 1474LL;
    QTest::newRow("100% is every part") << 1024LL << 4096LL << 100 << 4LL << 4LL;
    QTest::newRow("block sizes are multiples of 4") << 1022LL << 5000LL << 50 << 3LL << 5LL;
    QTest::newRow("32768 parts") << 1024LL << 32768LL * 1024 << 10 << 3277LL << 32768LL;
    QTest::newRow("32769 parts: none") << 1024LL << 32768LL * 1024 + 1 << 10 << 0LL << 32769LL;
}

void tst_Recovery::plansWholePartsOfAtLeastThePercentage()
{
    QFETCH(qint64, partSize);
    QFETCH(qint64, sourceSize);
    QFETCH(int, percent);
    QFETCH(qint64, blocks);
    QFETCH(qint64, dataParts);
    const RecoveryPlan plan = PlanRecovery(partSize, sourceSize, percent);
    QCOMPARE(plan.recoveryBlocks, blocks);
    QCOMPARE(plan.dataParts, dataParts);
    QCOMPARE(plan.blockSize % 4, 0);
    QVERIFY(plan.blockSize >= partSize);
    if (plan.possible())
        QVERIFY(plan.recoveryBlocks * plan.blockSize * 100 >= sourceSize * percent);
}

void tst_Recovery::progressFollowsTheStages()
{
    Par2Progress progress({{"Opening: ", 2, 1.0}, {"Processing: ", 0, 3.0}});
    QCOMPARE(progress.fraction(), 0.0);
    progress.feed("\nBlock size: 4\nOpening: a.!0");
    QCOMPARE(progress.fraction(), 0.0); // the line is not over yet
    progress.feed("0\nOpening: a.!01\n");
    QCOMPARE(progress.fraction(), 0.25);
    progress.feed("Processing: 50.0%\rProcessing: 40.0%\r");
    QCOMPARE(progress.fraction(), 0.625);
    progress.feed("Processing: 100.0%");
    QCOMPARE(progress.fraction(), 1.0);
}

void tst_Recovery::splitWritesRecoveryDataOrSaysWhyNot_data()
{
    QTest::addColumn<QString>("run"); // "writes", "stopped", or the source's name
    QTest::addColumn<int>("partSize"); // 0 spans
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("messages"); // the dialogs, each beginning so
    QTest::addColumn<bool>("scripts");    // MERGE.BAT and merge.sh written
    QTest::newRow("written") << "writes" << 1024 << int(SplitOutcome::Done) << QStringList{} << true;
    QTest::newRow("stopped") << "stopped" << 1024 << int(SplitOutcome::Interrupted)
                             << QStringList{"error     Split execution interrupted."} << false;
    // No Windows file has such a name either.
    QTest::newRow("a name par2 cannot take")
        << "what?.doc" << 1024 << int(SplitOutcome::RecoveryFailed)
        << QStringList{"message No recovery data were written: par2 cannot work with",
                       "message MERGE.BAT cannot join the parts of what?.doc"}
        << true;
    QTest::newRow("spanning writes none") << "writes" << 0 << int(SplitOutcome::Done)
                                          << QStringList{"information File"} << true;
}

void tst_Recovery::splitWritesRecoveryDataOrSaysWhyNot()
{
    QFETCH(QString, run);
    QFETCH(int, partSize);
    QFETCH(int, outcome);
    QFETCH(QStringList, messages);
    QFETCH(bool, scripts);

    const bool oddName = run.endsWith(".doc");
    const std::string source = oddName ? run.toStdString() : "report.doc";
    FakePlatform fake;
    fake.setCaseSensitive(true);
    fake.addFile("/data/" + source, patternBytes(3000, 2));
    fake.insertMedia({FakePlatform::Medium{}});
    // What an earlier run left is cleared with the scripts.
    const std::string old = OutputFolder("/data/", source) + "/" + source + ".vol9+9.par2";
    fake.addFile(old, "old");
    const std::string folder = partSize > 0 ? OutputFolder("/data/", source) : "/A";
    std::atomic<bool> stop{false};
    RecordingView view;
    view.onPump = [&] {
        stop = run == "stopped" && !view.statuses().empty() && view.statuses().back() == "Writing recovery data";
    };
    SplitOptions options;
    options.openFileManager = false;
    options.recoveryPercent = 10;
    options.stop = &stop;
    QCOMPARE(int(SplitFile(fake, view, {source, "/data/", partSize}, options).outcome), outcome);

    std::vector<std::string> dialogs;
    for (const std::string& dialog : view.dialogs())
        if (!dialog.starts_with("prompt "))
            dialogs.push_back(dialog);
    QCOMPARE(dialogs.size(), std::size_t(messages.size()));
    for (std::size_t i = 0; i < dialogs.size(); ++i)
        QVERIFY2(QString::fromStdString(dialogs[i]).startsWith(messages[qsizetype(i)]), dialogs[i].c_str());
    QVERIFY(fake.processStarts().empty()); // par2 is not needed to write a set
    if (partSize > 0 && !oddName) {
        QCOMPARE(view.statuses().back(), std::string("Writing recovery data"));
        QCOMPARE(view.position, run == "writes" ? view.maximum : 0);
    }
    QCOMPARE(fake.hasFile(old), partSize == 0);
    // One recovery slice as large as a part: 10% of 3000 bytes, rounded up.
    const bool written = run == "writes" && partSize > 0;
    QCOMPARE(fake.hasFile(folder + "/report.doc.par2"), written);
    QCOMPARE(fake.hasFile(folder + "/report.doc.vol0+1.par2"), written);
    QCOMPARE(fake.hasFile(folder + "/MERGE.BAT"), scripts);
    QCOMPARE(fake.hasFile(folder + "/merge.sh"), scripts);
    QCOMPARE(fake.contents(folder + "/merge.sh").find("recovery='report.doc.par2'") != std::string::npos, written);
    QVERIFY(fake.hasFile(folder + "/" + source + (partSize > 0 ? ".!02" : ".!00")));
}

void tst_Recovery::par2RepairsFromTheSet_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("partSize");
    QTest::addColumn<int>("percent");
    QTest::addColumn<qint64>("memory"); // for the slices being built; 0: the default
    QTest::addColumn<QList<int>>("lost"); // parts deleted
    QTest::addColumn<QList<int>>("damaged"); // parts with a byte changed
    QTest::addColumn<QStringList>("volumes");
    QTest::newRow("one part, 100%") << 1000LL << 1024 << 100 << 0LL << QList<int>{0} << QList<int>{}
                                    << QStringList{"vol0+1"};
    QTest::newRow("an odd last part, first and last lost")
        << 300LL * 1024 + 123 << 1024 << 10 << 0LL << QList<int>{0, 300} << QList<int>{150}
        << QStringList{"vol00+01", "vol01+02", "vol03+04", "vol07+08", "vol15+16"};
    QTest::newRow("an empty last part") << 8LL * 4096 << 4096 << 25 << 0LL << QList<int>{7} << QList<int>{3}
                                        << QStringList{"vol0+1", "vol1+1"};
    QTest::newRow("1%") << 200LL * 1024 << 1024 << 1 << 0LL << QList<int>{} << QList<int>{199}
                        << QStringList{"vol0+1", "vol1+1"};
    QTest::newRow("100%") << 6LL * 2048 - 2 << 2048 << 100 << 0LL << QList<int>{0, 1, 2} << QList<int>{3, 4, 5}
                          << QStringList{"vol0+1", "vol1+2", "vol3+3"};
    QTest::newRow("several passes over the parts") << 40LL * 8192 - 100 << 8192 << 10 << 3LL * 4096
                                                   << QList<int>{2} << QList<int>{39, 17}
                                                   << QStringList{"vol0+1", "vol1+2", "vol3+1"};
    QTest::newRow("a large part, worked in pieces") << 4LL * 1024 * 1024 + 100006 << 5 * 1024 * 1024 << 50 << 0LL
                                                    << QList<int>{0} << QList<int>{} << QStringList{"vol0+1"};
    // The file IDs of the main packet in par2 create's order, over enough
    // parts that any other order shows.
    QTest::newRow("the main packet's order") << 24LL * 1024 - 10 << 1024 << 10 << 0LL << QList<int>{5}
                                             << QList<int>{} << QStringList{"vol0+1", "vol1+2"};
}

namespace {

// The file IDs of the recovery set in the main packet of a PAR2 file, in
// their order there.
QList<QByteArray> mainPacketIds(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    const auto number = [&](qsizetype at, int bytes) {
        quint64 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | quint8(data[at + i]);
        return value;
    };
    for (qsizetype at = data.indexOf("PAR2\0PKT"); at >= 0 && at + 64 <= data.size();
         at = data.indexOf(QByteArray("PAR2\0PKT", 8), at + 8)) {
        if (data.mid(at + 48, 16) != QByteArray("PAR 2.0\0Main\0\0\0\0", 16))
            continue;
        const qsizetype body = at + 64;
        const auto count = qsizetype(number(body + 8, 4));
        QList<QByteArray> ids;
        for (qsizetype i = 0; i < count; ++i)
            ids << data.mid(body + 12 + 16 * i, 16);
        return ids;
    }
    return {};
}

} // namespace

void tst_Recovery::par2RepairsFromTheSet()
{
    QFETCH(qint64, size);
    QFETCH(int, partSize);
    QFETCH(int, percent);
    QFETCH(qint64, memory);
    QFETCH(QList<int>, lost);
    QFETCH(QList<int>, damaged);
    QFETCH(QStringList, volumes);
    if (QStandardPaths::findExecutable(QStringLiteral("par2")).isEmpty())
        QSKIP("par2 (par2cmdline) is not installed");

    QTemporaryDir dir;
    const std::string bytes = patternBytes(static_cast<std::size_t>(size), 7);
    QFile source(dir.filePath(QStringLiteral("data.bin")));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(bytes.data(), size) == size);
    source.close();

    PosixPlatformOptions quiet;
    quiet.fileManagerCommand.clear();
    PosixPlatform platform(quiet);
    RecordingView view;
    SplitOptions options;
    options.openFileManager = false;
    options.recoveryPercent = percent;
    options.recoveryMemory = static_cast<std::size_t>(memory);
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QCOMPARE(int(SplitFile(platform, view, {"data.bin", folder, partSize}, options).outcome), int(SplitOutcome::Done));

    QDir parts(dir.filePath(QStringLiteral("DATA_PARTS")));
    QStringList expected{QStringLiteral("data.bin.par2")};
    for (const QString& volume : volumes)
        expected << QStringLiteral("data.bin.") + volume + QStringLiteral(".par2");
    QCOMPARE(parts.entryList({QStringLiteral("*.par2")}, QDir::Files, QDir::Name), expected);

    const auto par2 = [&](const QString& verb) {
        QProcess process;
        process.setWorkingDirectory(parts.path());
        process.start(QStringLiteral("par2"), {verb, QStringLiteral("-q"), QStringLiteral("data.bin.par2")});
        return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QCOMPARE(par2(QStringLiteral("verify")), 0);
    // par2 create over the same parts lists the same files in the main
    // packet in the same order (it leaves an empty part out).
    {
        QStringList args{QStringLiteral("create"), QStringLiteral("-q"), QStringLiteral("-s%1").arg(partSize),
                         QStringLiteral("-c0"), QStringLiteral("order.par2")};
        args += parts.entryList({QStringLiteral("data.bin.!*")}, QDir::Files, QDir::Name);
        QProcess create;
        create.setWorkingDirectory(parts.path());
        create.start(QStringLiteral("par2"), args);
        QVERIFY(create.waitForFinished(-1) && create.exitCode() == 0);
        const QList<QByteArray> theirs = mainPacketIds(parts.filePath(QStringLiteral("order.par2")));
        QList<QByteArray> ours = mainPacketIds(parts.filePath(QStringLiteral("data.bin.par2")));
        ours.removeIf([&](const QByteArray& id) { return !theirs.contains(id); });
        QVERIFY(theirs.size() >= 1);
        QCOMPARE(ours, theirs);
        QVERIFY(QFile::remove(parts.filePath(QStringLiteral("order.par2"))));
    }
    const auto partName = [&](int part) { return parts.filePath(QStringLiteral("data.bin.!%1").arg(part, 2, 10, QLatin1Char('0'))); };
    for (const int part : lost)
        QVERIFY(QFile::remove(partName(part)));
    for (const int part : damaged) {
        QFile file(partName(part));
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() / 2) && file.write("#", 1) == 1);
    }
    QCOMPARE(par2(QStringLiteral("repair")), 0);
    std::string joined;
    for (int part = 0; QFile::exists(partName(part)); ++part) {
        QFile file(partName(part));
        QVERIFY(file.open(QIODevice::ReadOnly));
        joined += file.readAll().toStdString();
    }
    QVERIFY(joined == bytes);
}

QTEST_GUILESS_MAIN(tst_Recovery)
#include "tst_recovery.moc"
