// Folder-mode runs that copy two parts at once, through the fake switched to
// concurrent copies: they leave what a run one part at a time leaves, and a
// failure in the worker's part or in the run thread's part ends them the
// same way, with the view used from the run's thread only.

#include "split/fakerun.h"
#include "parts/partnaming.h"
#include "split/splittexts.h"
#include "split/testdata.h"

#include <QRandomGenerator>
#include <QTest>

#include <stdexcept>

using darvolt::SplitOutcome;
using Op = FakeRun::Op;
namespace error = darvolt::error;
namespace texts = darvolt::texts;
using Files = std::map<std::string, std::string>;

namespace {

std::string bare(std::int64_t n) { return darvolt::BarePartName("report.doc", n); }
std::string part(std::int64_t n) { return FakeRun::Output + bare(n); }
std::string status(std::int64_t n) { return texts::writing(bare(n)); }
const std::string WriteFailed = "error " + std::string(texts::WriteFailed);

// What every run must keep to, whatever failed.
void checkTidy(const RunRecord& run)
{
    QVERIFY(run.viewOnOneThread);
    QVERIFY(run.positionsNeverFall);
    QVERIFY(run.pumpBeforeEveryPart);
    QCOMPARE(run.openFiles, 0);
    QVERIFY(run.sourceUntouched);
    for (std::size_t i = 0; i < run.statuses.size(); ++i)
        QCOMPARE(run.statuses[i], status(std::int64_t(i)));
    if (run.outcome == SplitOutcome::Failed) {
        QCOMPARE(run.fileManagerLaunches, std::size_t(0));
        QVERIFY(run.files.count("MERGE.BAT") == 0);
    }
}

} // namespace

class tst_PartPipeline : public QObject {
    Q_OBJECT

private slots:
    void leavesWhatARunOnePartAtATimeLeaves();
    void partsGoToTheWorkerOnlyWhenWorthIt_data();
    void partsGoToTheWorkerOnlyWhenWorthIt();
    void workerFailureStopsAndRemovesTheLaterPart();
    void runThreadFailureLetsTheWorkersEarlierPartFinish();
    void runThreadFailureRemovesTheWorkersLaterPart();
    void creationFailureWaitsForTheEarlierPart_data();
    void creationFailureWaitsForTheEarlierPart();
    void pumpsWhileWaitingForTheWorker();
    void exceptionFromTheViewStillJoinsTheWorker();
    void exceptionOnTheWorkerReachesTheCaller();
};

void tst_PartPipeline::leavesWhatARunOnePartAtATimeLeaves()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    const std::size_t blocks[] = {1024, 3000, 8192};
    for (int round = 0; round < 120; ++round) {
        const std::int64_t partSize = std::int64_t(rng.bounded(1, 17)) * 1024;
        const std::int64_t count = rng.bounded(2, 9); // parts the size calls for
        const std::int64_t size = partSize * (count - 1) + rng.bounded(0, int(partSize));
        const std::size_t block = blocks[rng.bounded(3)];
        const std::string data = patternBytes(std::size_t(size), std::uint32_t(round + 1));
        // At most one fault, in a random part.
        const int kind = rng.bounded(6);
        const std::int64_t victim = rng.bounded(int(count));
        const int nth = rng.bounded(1, 4);
        const std::int64_t offset = victim * partSize + rng.bounded(int(partSize));
        const auto inject = [&](darvolt::FakePlatform& f) {
            switch (kind) {
            case 1: f.failFileCall(part(victim), Op::Write, nth, error::DiskFull); break;
            case 2: f.storeShortWriteTo(part(victim), nth, 10); break;
            case 3: f.failFileCall(part(victim), Op::Close, 1, error::DeviceError); break;
            case 4: f.failReadAt(FakeRun::Source, offset, error::DeviceError); break;
            case 5: f.failCall(Op::CreateFile, int(victim) + 1, error::AccessDenied); break;
            default: break;
            }
        };
        const QString context = QString("seed %1 round %2: size %3 part %4 block %5 fault %6 in part %7 (%8, %9)")
                                    .arg(seed).arg(round).arg(size).arg(partSize).arg(block)
                                    .arg(kind).arg(victim).arg(nth).arg(offset);

        FakeRun inTurn(data, false);
        inTurn.options.blockSize = block;
        inject(inTurn.fake);
        const RunRecord one = inTurn.run(partSize);
        FakeRun atOnce(data, true);
        atOnce.options.blockSize = block;
        inject(atOnce.fake);
        const RunRecord two = atOnce.run(partSize);

        QVERIFY2(two.outcome == one.outcome, qPrintable(context));
        QVERIFY2(two.dialogs == one.dialogs, qPrintable(context));
        QVERIFY2(two.files == one.files, qPrintable(context));
        QVERIFY2(two.fileManagerLaunches == one.fileManagerLaunches, qPrintable(context));
        if (one.outcome == SplitOutcome::Done) {
            QVERIFY2(two.position == one.position, qPrintable(context));
            QVERIFY2(two.byWorker.count(part(0)) == 1, qPrintable(context));
        }
        // The part after a failing one may have been created meanwhile, then
        // deleted: its status may show, nothing more.
        QVERIFY2(two.statuses.size() >= one.statuses.size() && two.statuses.size() <= one.statuses.size() + 1,
                 qPrintable(context));
        checkTidy(two);
        if (QTest::currentTestFailed())
            qWarning("%s", qPrintable(context));
    }
}

void tst_PartPipeline::partsGoToTheWorkerOnlyWhenWorthIt_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("partSize");
    QTest::addColumn<bool>("concurrent");
    QTest::addColumn<bool>("workerUsed");
    QTest::newRow("two parts") << qint64(5000) << qint64(4096) << true << true;
    QTest::newRow("exact part and the trailing empty one") << qint64(4096) << qint64(4096) << true << true;
    QTest::newRow("one part") << qint64(4000) << qint64(4096) << true << false;
    QTest::newRow("platform copies one at a time") << qint64(50000) << qint64(4096) << false << false;
    QTest::newRow("spanning") << qint64(5000) << qint64(0) << true << false;
}

void tst_PartPipeline::partsGoToTheWorkerOnlyWhenWorthIt()
{
    QFETCH(qint64, size);
    QFETCH(qint64, partSize);
    QFETCH(bool, concurrent);
    QFETCH(bool, workerUsed);
    const std::string data = patternBytes(std::size_t(size), 9);
    FakeRun r(data, concurrent);
    r.options.blockSize = 1024;
    r.fake.insertMedia({darvolt::FakePlatform::Medium{}});
    const RunRecord run = r.run(partSize);
    QCOMPARE(run.outcome, SplitOutcome::Done);
    QCOMPARE(run.byWorker.empty(), !workerUsed);
    if (workerUsed) { // the first part goes to the worker, the second stays
        QVERIFY(run.byWorker.count(part(0)) == 1);
        QVERIFY(run.byWorker.count(part(1)) == 0);
    }
    const Files files = partSize > 0 ? run.files : r.fake.diskette(0);
    std::string joined;
    for (std::int64_t i = 0; files.count(bare(i)) > 0; ++i)
        joined += files.at(bare(i));
    QVERIFY(joined == data);
    checkTidy(run);
}

void tst_PartPipeline::workerFailureStopsAndRemovesTheLaterPart()
{
    // The worker's part 0 fails at its third write, held back until the run
    // thread has reached the second write of part 1; that write waits for
    // part 0 to close, so part 1 is caught in the middle.
    const std::string data = patternBytes(20000, 5); // parts of 8192, 8192 and 3616
    Signal partOneAtSecondWrite;
    Signal partZeroClosed;
    FakeRun r(data, true);
    r.options.blockSize = 1024;
    r.fake.failFileCall(part(0), Op::Write, 3, error::DiskFull);
    r.hook = [&](Op op, const std::string& path, int nth) {
        if (op == Op::Close && path == part(0))
            partZeroClosed.raise();
        if (op == Op::Write && path == part(0) && nth == 3)
            partOneAtSecondWrite.wait();
        if (op == Op::Write && path == part(1) && nth == 2) {
            partOneAtSecondWrite.raise();
            partZeroClosed.wait();
        }
    };
    const RunRecord run = r.run(8192);
    QVERIFY(!partOneAtSecondWrite.timedOut && !partZeroClosed.timedOut);

    QCOMPARE(run.outcome, SplitOutcome::Failed);
    QCOMPARE(run.dialogs, std::vector<std::string>{WriteFailed});
    QCOMPARE(run.files, (Files{{bare(0), data.substr(0, 2048)}}));
    QVERIFY(run.byWorker.count(part(0)) == 1);
    QCOMPARE(run.writes.at(part(1)), 2); // stopped at its next step, not after all eight
    QCOMPARE(run.statuses, (std::vector<std::string>{status(0), status(1)}));
    checkTidy(run);
}

void tst_PartPipeline::runThreadFailureLetsTheWorkersEarlierPartFinish()
{
    // Part 1 fails on the run thread while the worker's part 0 is held; part
    // 0 then goes on to the end and stays, complete.
    const std::string data = patternBytes(20000, 6);
    Signal partOneClosed;
    FakeRun r(data, true);
    r.options.blockSize = 1024;
    r.fake.failFileCall(part(1), Op::Write, 2, error::DiskFull);
    r.hook = [&](Op op, const std::string& path, int nth) {
        if (op == Op::Close && path == part(1))
            partOneClosed.raise();
        if (op == Op::Write && path == part(0) && nth == 2)
            partOneClosed.wait();
    };
    const RunRecord run = r.run(8192);
    QVERIFY(!partOneClosed.timedOut);

    QCOMPARE(run.outcome, SplitOutcome::Failed);
    QCOMPARE(run.dialogs, std::vector<std::string>{WriteFailed});
    QCOMPARE(run.files, (Files{{bare(0), data.substr(0, 8192)}, {bare(1), data.substr(8192, 1024)}}));
    QCOMPARE(run.writes.at(part(0)), 8);
    QVERIFY(run.writes.count(part(2)) == 0);
    QCOMPARE(run.statuses, (std::vector<std::string>{status(0), status(1)}));
    checkTidy(run);
}

void tst_PartPipeline::runThreadFailureRemovesTheWorkersLaterPart()
{
    // The worker finishes part 0 while the run thread is early in part 1
    // and is handed part 2; then part 1 fails. Part 2 must go. The run
    // thread holds its second write of part 1 until the worker has let go of
    // part 0, which it does after handing back its result, so the run thread
    // collects part 0 and hands out part 2 at its next step at the latest;
    // part 1 fails at the first write after that.
    const std::string data = patternBytes(3 * 65536 + 100, 7);
    Signal partZeroReleased;
    Signal partOneClosed;
    std::atomic<bool> partTwoCreated{false};
    int failedAt = 0; // the run thread's only
    FakeRun r(data, true);
    r.options.blockSize = 1024;
    r.hook = [&](Op op, const std::string& path, int nth) {
        if (op == Op::Release && path == part(0))
            partZeroReleased.raise();
        if (op == Op::Close && path == part(1))
            partOneClosed.raise();
        if (op == Op::CreateFile && path == part(2))
            partTwoCreated = true;
        if (op == Op::Write && path == part(1) && nth >= 2) {
            partZeroReleased.wait();
            if (partTwoCreated && failedAt == 0) {
                failedAt = nth;
                r.fake.failFileCall(part(1), Op::Write, nth, error::DiskFull);
            }
        }
        if (op == Op::Write && path == part(2) && nth == 1)
            partOneClosed.wait();
    };
    const RunRecord run = r.run(65536);
    QVERIFY(!partZeroReleased.timedOut && !partOneClosed.timedOut);
    checkTidy(run);
    // Part 2 goes out at the first step after part 0 is back: before the
    // second write when the worker was quick, else before the third.
    QVERIFY2(failedAt == 2 || failedAt == 3, "part 2 was not handed out at the step after part 0 came back");
    QCOMPARE(run.outcome, SplitOutcome::Failed);
    QCOMPARE(run.dialogs, std::vector<std::string>{WriteFailed});
    QCOMPARE(run.files, (Files{{bare(0), data.substr(0, 65536)},
                               {bare(1), data.substr(65536, std::size_t(failedAt - 1) * 1024)}}));
    QVERIFY(run.writes.count(part(2)) == 0 || run.writes.at(part(2)) <= 1); // stopped at its next step
    QVERIFY(run.byWorker.count(part(0)) == 1);
    QCOMPARE(run.statuses, (std::vector<std::string>{status(0), status(1), status(2)}));
}

void tst_PartPipeline::creationFailureWaitsForTheEarlierPart_data()
{
    QTest::addColumn<bool>("earlierFails");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("firstPartSize");
    QTest::newRow("the failure to create part 1 is shown")
        << false << "error Cannot open output file /DATA/REPORT_PARTS/REPORT.DOC.!01. Split execution failed." << 8192;
    QTest::newRow("a failure of part 0 comes first") << true << QString::fromStdString(WriteFailed) << 2048;
}

void tst_PartPipeline::creationFailureWaitsForTheEarlierPart()
{
    QFETCH(bool, earlierFails);
    QFETCH(QString, dialog);
    QFETCH(int, firstPartSize);
    // Part 1 cannot be created while the worker still copies part 0, which
    // goes on; what is shown is decided by part 0's outcome.
    const std::string data = patternBytes(20000, 8);
    Signal partOneAttempted;
    FakeRun r(data, true);
    r.options.blockSize = 1024;
    r.fake.failCall(Op::CreateFile, 2, error::AccessDenied);
    if (earlierFails)
        r.fake.failFileCall(part(0), Op::Write, 3, error::DiskFull);
    r.hook = [&](Op op, const std::string& path, int nth) {
        if (op == Op::CreateFile && path == part(1))
            partOneAttempted.raise();
        if (op == Op::Write && path == part(0) && nth == 2)
            partOneAttempted.wait();
    };
    const RunRecord run = r.run(8192);
    QVERIFY(!partOneAttempted.timedOut);
    QCOMPARE(run.outcome, SplitOutcome::Failed);
    QCOMPARE(run.dialogs, std::vector<std::string>{dialog.toStdString()});
    QCOMPARE(run.files, (Files{{bare(0), data.substr(0, std::size_t(firstPartSize))}}));
    QCOMPARE(run.statuses, std::vector<std::string>{status(0)});
    checkTidy(run);
}

void tst_PartPipeline::pumpsWhileWaitingForTheWorker()
{
    // The worker's part 0 is held until the run thread, done with part 1,
    // has processed pending messages twice more while waiting for it.
    const std::string data = patternBytes(20000, 9);
    Signal partOneClosed;
    std::atomic<int> pumpsAtClose{0};
    std::atomic<bool> gaveUp{false};
    FakeRun r(data, true);
    r.options.blockSize = 1024;
    r.options.pumpInterval = std::chrono::milliseconds(1);
    r.hook = [&](Op op, const std::string& path, int nth) {
        if (op == Op::Close && path == part(1)) {
            pumpsAtClose = r.view.pumpCount.load();
            partOneClosed.raise();
        }
        if (op == Op::Write && path == part(0) && nth == 2) {
            partOneClosed.wait();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (r.view.pumpCount < pumpsAtClose + 2 && !gaveUp)
                if (std::chrono::steady_clock::now() > deadline)
                    gaveUp = true;
                else
                    std::this_thread::yield();
        }
    };
    const RunRecord run = r.run(8192);
    QVERIFY(!partOneClosed.timedOut);
    QVERIFY2(!gaveUp, "no messages were processed while waiting for the worker");
    QCOMPARE(run.outcome, SplitOutcome::Done);
    QCOMPARE(run.files.at(bare(0)) + run.files.at(bare(1)) + run.files.at(bare(2)), data);
    checkTidy(run);
}

void tst_PartPipeline::exceptionFromTheViewStillJoinsTheWorker()
{
    const std::string data = patternBytes(200000, 10);
    FakeRun r(data, true);
    r.options.blockSize = 1024;
    int pumps = 0;
    r.view.onPump = [&] {
        if (++pumps == 3)
            throw std::runtime_error("a handler failed");
    };
    bool thrown = false;
    try {
        SplitFile(r.fake, r.view, {"report.doc", "/data/", 8192}, r.options);
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(r.fake.openFiles(), 0);
    QVERIFY(!r.view.foreignCall);
    // The next run starts afresh and completes.
    r.view.onPump = {};
    QCOMPARE(SplitFile(r.fake, r.view, {"report.doc", "/data/", 8192}, r.options).outcome, SplitOutcome::Done);
    QCOMPARE(r.fake.openFiles(), 0);
}

void tst_PartPipeline::exceptionOnTheWorkerReachesTheCaller()
{
    // Whatever escapes the copy on the worker is raised again on the run's
    // thread, as it would have been had that thread copied the part.
    FakeRun r(patternBytes(200000, 11), true);
    r.options.blockSize = 1024;
    r.hook = [](Op op, const std::string& path, int nth) {
        if (op == Op::Write && path == part(0) && nth == 2)
            throw std::runtime_error("out of memory");
    };
    QString what;
    try {
        SplitFile(r.fake, r.view, {"report.doc", "/data/", 8192}, r.options);
    } catch (const std::runtime_error& e) {
        what = e.what();
    }
    QCOMPARE(what, QString("out of memory"));
    QCOMPARE(r.fake.openFiles(), 0);
    QVERIFY(!r.view.foreignCall);
}

QTEST_GUILESS_MAIN(tst_PartPipeline)
#include "tst_partpipeline.moc"
