// Recovery data from the split engine, par2 scripted through the fake: how
// much it asks for, what it runs and when, what the view shows meanwhile,
// and how a missing, failing or stopped par2 leaves the split.

#include "platform/fakeplatform.h"
#include "parts/par2tool.h"
#include "split/recoverydata.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"

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
    QTest::addColumn<QString>("par2"); // "writes", "absent", "fails", "stopped", or the source's name
    QTest::addColumn<int>("partSize"); // 0 spans
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message"); // a dialog, beginning so
    QTest::addColumn<bool>("scripts");    // MERGE.BAT and merge.sh written
    QTest::newRow("written") << "writes" << 1024 << int(SplitOutcome::Done) << "" << true;
    QTest::newRow("par2 not installed") << "absent" << 1024 << int(SplitOutcome::RecoveryFailed)
                                        << "message No recovery data were written: par2 is not installed" << true;
    QTest::newRow("par2 fails") << "fails" << 1024 << int(SplitOutcome::RecoveryFailed)
                                << "message No recovery data were written: par2 failed (Could not write to disk)" << true;
    QTest::newRow("stopped") << "stopped" << 1024 << int(SplitOutcome::Interrupted)
                             << "error     Split execution interrupted." << false;
    QTest::newRow("a name par2 cannot take") << "what?.doc" << 1024 << int(SplitOutcome::RecoveryFailed)
                                             << "message No recovery data were written: par2 cannot work with" << true;
    QTest::newRow("spanning writes none") << "writes" << 0 << int(SplitOutcome::Done) << "information File" << true;
}

void tst_Recovery::splitWritesRecoveryDataOrSaysWhyNot()
{
    QFETCH(QString, par2);
    QFETCH(int, partSize);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    QFETCH(bool, scripts);

    const bool oddName = par2.endsWith(".doc");
    const std::string source = oddName ? par2.toStdString() : "report.doc";
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
        stop = par2 == "stopped" && !view.statuses().empty() && view.statuses().back() == "Writing recovery data";
    };
    if (par2 != "absent")
        fake.setProgram("par2", [&](const ProcessRequest&) {
            fake.addFile(folder + "/report.doc.par2", "index");
            fake.addFile(folder + "/report.doc.vol0+1.par2", "volume");
            return FakePlatform::ProgramRun{{"Opening: report.doc.!00\n", "Opening: report.doc.!01\nOpening: report.doc.!02\n",
                                             "Processing: 50.0%\r", "Processing: 100.0%\r",
                                             par2 == "fails" ? "Could not write to disk\n" : "Done\n"},
                                            par2 == "fails" ? 6 : 0};
        });
    SplitOptions options;
    options.openFileManager = false;
    options.recoveryPercent = 10;
    options.stop = &stop;
    QCOMPARE(int(SplitFile(fake, view, {source, "/data/", partSize}, options).outcome), outcome);

    std::vector<std::string> dialogs;
    for (const std::string& dialog : view.dialogs())
        if (!dialog.starts_with("prompt "))
            dialogs.push_back(dialog);
    QCOMPARE(dialogs.size(), std::size_t(message.isEmpty() ? 0 : 1));
    if (!message.isEmpty())
        QVERIFY2(QString::fromStdString(dialogs.front()).startsWith(message), dialogs.front().c_str());
    const auto starts = fake.processStarts();
    QCOMPARE(starts.size(), std::size_t(partSize > 0 && !oddName ? 1 : 0));
    if (!starts.empty()) {
        // One recovery block as large as a part: 10% of 3000 bytes, rounded up.
        QCOMPARE(starts[0].command, (std::vector<std::string>{"par2", "create", "-s1024", "-c1", "--", "report.doc.par2",
                                                              "report.doc.!00", "report.doc.!01", "report.doc.!02"}));
        QCOMPARE(starts[0].folder, folder);
        const auto statuses = view.statuses();
        QCOMPARE(statuses.back(), std::string("Writing recovery data"));
        QCOMPARE(view.position, par2 == "writes" || par2 == "fails" ? view.maximum : 0);
    }
    QCOMPARE(fake.hasFile(old), partSize == 0);
    const bool written = par2 == "writes" && partSize > 0;
    QCOMPARE(fake.hasFile(folder + "/report.doc.par2"), written);
    QCOMPARE(fake.hasFile(folder + "/report.doc.vol0+1.par2"), written);
    QCOMPARE(fake.terminatedProcesses(), par2 == "stopped" ? 1 : 0);
    QCOMPARE(fake.hasFile(folder + "/MERGE.BAT"), scripts);
    QCOMPARE(fake.hasFile(folder + "/merge.sh"), scripts);
    QCOMPARE(fake.contents(folder + "/merge.sh").find("recovery='report.doc.par2'") != std::string::npos, written);
    QVERIFY(fake.hasFile(folder + "/" + source + (partSize > 0 ? ".!02" : ".!00")));
}

QTEST_GUILESS_MAIN(tst_Recovery)
#include "tst_recovery.moc"
