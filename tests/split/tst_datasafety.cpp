// What a run does when the world moves under it: a source that changes, an
// interruption, a medium that holds less than it said, data that must be on
// the medium before the user is told, a file that would overwrite the source.
// Folder-mode cases run one part at a time and two at once.

#include "platform/posixplatform.h"
#include "split/fakerun.h"
#include "parts/partnaming.h"
#include "split/splittexts.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>

using darvolt::FakePlatform;
using darvolt::SplitOutcome;
using Medium = FakePlatform::Medium;
using Op = FakeRun::Op;
namespace error = darvolt::error;
namespace texts = darvolt::texts;

using Change = std::function<void(FakePlatform&)>;
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(SplitOutcome)

namespace {

const std::string Data = patternBytes(5000, 21); // parts of 2048, 2048 and 904 bytes
std::string part(int n) { return FakeRun::Output + darvolt::BarePartName("report.doc", n); }
std::string errorOf(std::string_view text) { return "error " + std::string(text); }
std::string prompt(int n) { return "prompt " + texts::diskettePrompt(n); }
std::string spannedText() { return "information " + texts::spanned("report.doc", true); }

// A run of the fake source in 2048-byte parts, copied in 1024-byte blocks,
// that calls `atWrite` before the first write to part 1.
RunRecord runChanging(bool concurrent, const std::function<void(FakeRun&)>& atWrite)
{
    FakeRun run(Data, concurrent);
    run.options.blockSize = 1024;
    run.hook = [&](Op op, const std::string& path, int nth) {
        if (op == Op::Write && path == part(1) && nth == 1)
            atWrite(run);
    };
    return run.run(2048);
}

// Spans Data onto the media, changing the diskette at every prompt after
// the first and calling onPrompt(n) first.
struct Span {
    FakePlatform fake;
    RecordingView view;
    std::function<void(int)> onPrompt;
    std::atomic<bool> stop{false};

    explicit Span(std::vector<Medium> media, const std::string& data = Data)
    {
        fake.addFile("/data/report.doc", data);
        fake.insertMedia(std::move(media));
        view.onPrompt = [this](int n) {
            if (onPrompt)
                onPrompt(n);
            if (n > 0)
                fake.changeDiskette();
            return !stop;
        };
    }
    SplitOutcome run(const std::string& folder = "/data/", const std::string& name = "report.doc")
    {
        darvolt::SplitOptions options;
        options.stop = &stop;
        return SplitFile(fake, view, {name, folder, 0}, options).outcome;
    }
};

} // namespace

class tst_DataSafety : public QObject {
    Q_OBJECT

private slots:
    void changedSourceEndsTheRunWithoutScript_data();
    void changedSourceEndsTheRunWithoutScript();
    void interruptionKeepsOnlyTheFinishedParts_data();
    void interruptionKeepsOnlyTheFinishedParts();
    void spannedRunStopsOnChangeOrInterruptionAtAPrompt_data();
    void spannedRunStopsOnChangeOrInterruptionAtAPrompt();
    void clearingRemovesTheMergeScriptFirst();
    void dataAreOnTheMediumBeforeTheUserIsTold_data();
    void dataAreOnTheMediumBeforeTheUserIsTold();
    void flushFailureIsAWriteError_data();
    void flushFailureIsAWriteError();
    void mediumThatHoldsLessEndsThePartThere_data();
    void mediumThatHoldsLessEndsThePartThere();
    void noFileTheRunWritesIsTheSource();
    void anEarlierPartThatIsTheSourceIsNotDeleted();
};

void tst_DataSafety::changedSourceEndsTheRunWithoutScript_data()
{
    QTest::addColumn<bool>("concurrent");
    QTest::addColumn<Change>("change");
    QTest::addColumn<SplitOutcome>("outcome");
    const std::vector<std::pair<const char*, std::pair<Change, SplitOutcome>>> changes = {
        {"truncated inside a later part", {[](FakePlatform& f) { f.rewriteFile(FakeRun::Source, Data.substr(0, 4500)); },
                                           SplitOutcome::Failed}},
        {"truncated before the part being written",
         {[](FakePlatform& f) { f.rewriteFile(FakeRun::Source, Data.substr(0, 1000)); }, SplitOutcome::Failed}},
        {"rewritten in place, same size",
         {[](FakePlatform& f) { f.rewriteFile(FakeRun::Source, patternBytes(5000, 22)); }, SplitOutcome::Failed}},
        {"grown at its end", {[](FakePlatform& f) { f.rewriteFile(FakeRun::Source, Data + "more"); },
                              SplitOutcome::Failed}},
        // The open file is the old one, split whole; the new file is another.
        {"replaced under its name", {[](FakePlatform& f) { f.addFile(FakeRun::Source, "new"); }, SplitOutcome::Done}},
    };
    for (const bool concurrent : {false, true})
        for (const auto& [name, what] : changes)
            QTest::addRow("%s, %s", name, concurrent ? "two at once" : "one at a time")
                << concurrent << what.first << what.second;
}

void tst_DataSafety::changedSourceEndsTheRunWithoutScript()
{
    QFETCH(bool, concurrent);
    QFETCH(Change, change);
    QFETCH(SplitOutcome, outcome);
    const RunRecord r = runChanging(concurrent, [&](FakeRun& run) { change(run.fake); });
    QCOMPARE(r.outcome, outcome);
    QCOMPARE(r.openFiles, 0);
    if (outcome == SplitOutcome::Done) {
        QVERIFY(r.files.at("report.doc.!00") + r.files.at("report.doc.!01") + r.files.at("report.doc.!02") == Data);
        return;
    }
    QCOMPARE(r.dialogs, std::vector<std::string>{errorOf(texts::SourceChanged)});
    QCOMPARE(r.files.count("MERGE.BAT"), std::size_t(0));
    QCOMPARE(r.fileManagerLaunches, std::size_t(0));
    // Nothing past the size the source had at the start was copied.
    std::size_t total = 0;
    for (const auto& [name, contents] : r.files)
        total += contents.size();
    QVERIFY(total <= Data.size());
}

void tst_DataSafety::interruptionKeepsOnlyTheFinishedParts_data()
{
    QTest::addColumn<bool>("concurrent");
    QTest::addColumn<int>("stopAtWriteOfPart"); // -1: raised before the run
    QTest::addColumn<QStringList>("kept");
    for (const bool concurrent : {false, true}) {
        const char* how = concurrent ? "two at once" : "one at a time";
        QTest::addRow("before the run, %s", how) << concurrent << -1 << QStringList{};
        QTest::addRow("in the first part, %s", how) << concurrent << 0 << QStringList{};
        QTest::addRow("in the last part, %s", how) << concurrent << 2 << QStringList{"report.doc.!00", "report.doc.!01"};
    }
}

void tst_DataSafety::interruptionKeepsOnlyTheFinishedParts()
{
    QFETCH(bool, concurrent);
    QFETCH(int, stopAtWriteOfPart);
    QFETCH(QStringList, kept);
    FakeRun run(Data, concurrent);
    std::atomic<bool> stop{stopAtWriteOfPart < 0};
    run.options.blockSize = 1024;
    run.options.stop = &stop;
    run.hook = [&](Op op, const std::string& path, int) {
        if (op == Op::Write && stopAtWriteOfPart >= 0 && path == part(stopAtWriteOfPart))
            stop = true;
    };
    const RunRecord r = run.run(2048);
    QCOMPARE(r.outcome, SplitOutcome::Interrupted);
    QCOMPARE(r.dialogs, std::vector<std::string>{errorOf(texts::Interrupted)});
    QStringList left;
    for (const auto& [name, contents] : r.files) {
        left << QString::fromStdString(name);
        QCOMPARE(contents.size(), std::size_t(2048)); // only whole parts stay
    }
    // Two at once, the worker may reach the last part while the part before
    // it is still being copied here: that one is unfinished then, and goes.
    if (concurrent && !kept.isEmpty() && left.size() + 1 == kept.size())
        kept.removeLast();
    QCOMPARE(left, kept);
    QCOMPARE(r.openFiles, 0);
    QCOMPARE(r.fileManagerLaunches, std::size_t(0));
}

void tst_DataSafety::spannedRunStopsOnChangeOrInterruptionAtAPrompt_data()
{
    QTest::addColumn<bool>("interrupt");
    QTest::addColumn<SplitOutcome>("outcome");
    QTest::addColumn<QString>("last");
    QTest::newRow("Ctrl-C at the second prompt") << true << SplitOutcome::Interrupted
                                                 << QString::fromStdString(errorOf(texts::Interrupted));
    QTest::newRow("source truncated at the second prompt") << false << SplitOutcome::Failed
                                                           << QString::fromStdString(errorOf(texts::SourceChanged));
}

void tst_DataSafety::spannedRunStopsOnChangeOrInterruptionAtAPrompt()
{
    QFETCH(bool, interrupt);
    QFETCH(SplitOutcome, outcome);
    QFETCH(QString, last);
    const std::string data = patternBytes(2000000, 5);
    Span s({Medium{}, Medium{}});
    s.onPrompt = [&](int n) {
        if (n == 1 && interrupt)
            s.stop = true;
        else if (n == 1)
            s.fake.rewriteFile("/data/report.doc", data.substr(0, 1500000));
    };
    s.fake.rewriteFile("/data/report.doc", data);
    QCOMPARE(s.run(), outcome);
    QCOMPARE(s.view.dialogs().back(), last.toStdString());
    QVERIFY(s.fake.diskette(0).at("report.doc.!00") == data.substr(0, 1457664));
    QCOMPARE(s.fake.diskette(1).count("MERGE.BAT"), std::size_t(0));
    QCOMPARE(s.fake.openFiles(), 0);
}

void tst_DataSafety::clearingRemovesTheMergeScriptFirst()
{
    FakeRun run(Data, false);
    for (int n = 0; n < 5; ++n)
        run.fake.addFile(part(n), "old");
    run.fake.addFile(FakeRun::Output + std::string("MERGE.BAT"), "old script");
    run.fake.addFile(FakeRun::Output + std::string("notes.txt"), "mine");
    std::vector<std::string> removed;
    run.hook = [&](Op op, const std::string& path, int) {
        if (op == Op::RemoveFile)
            removed.push_back(path);
    };
    QCOMPARE(run.run(2048).outcome, SplitOutcome::Done);
    QVERIFY(removed.size() >= 6);
    QCOMPARE(removed.front(), FakeRun::Output + std::string("MERGE.BAT"));
    QVERIFY(run.fake.hasFile(FakeRun::Output + std::string("notes.txt")));
    QVERIFY(!run.fake.hasFile(part(4)));
}

void tst_DataSafety::dataAreOnTheMediumBeforeTheUserIsTold_data()
{
    QTest::addColumn<bool>("removable");
    QTest::addColumn<bool>("alwaysFlush");
    QTest::addColumn<int>("recovery"); // percent
    QTest::addColumn<bool>("flushed");
    QTest::newRow("fixed disk: as fast as cp") << false << false << 0 << false;
    QTest::newRow("removable medium") << true << false << 0 << true;
    QTest::newRow("asked for") << false << true << 0 << true;
    QTest::newRow("removable medium, recovery data") << true << false << 50 << true;
    QTest::newRow("asked for, recovery data") << false << true << 50 << true;
    QTest::newRow("fixed disk, recovery data") << false << false << 50 << false;
}

void tst_DataSafety::dataAreOnTheMediumBeforeTheUserIsTold()
{
    QFETCH(bool, removable);
    QFETCH(bool, alwaysFlush);
    QFETCH(int, recovery);
    QFETCH(bool, flushed);
    for (const bool concurrent : {false, true}) {
        FakeRun run(Data, concurrent);
        if (removable)
            run.fake.setRemovable("/data");
        run.options.alwaysFlush = alwaysFlush;
        run.options.recoveryPercent = recovery;
        const RunRecord record = run.run(2048);
        QCOMPARE(record.outcome, SplitOutcome::Done);
        // Every file the run wrote: the parts, the scripts, the recovery
        // volumes.
        QCOMPARE(record.files.size(), std::size_t(recovery == 0 ? 5 : 8));
        for (const auto& [name, contents] : record.files)
            QVERIFY2(run.fake.isDurable(FakeRun::Output + name) == flushed, name.c_str());
        QCOMPARE(run.fake.calls(Op::Flush) > 0, flushed);
    }

    // Spanning: each part before the next prompt, the script before the end.
    Span s({Medium{}, Medium{}}, patternBytes(2000000, 5));
    bool firstDurable = false;
    s.onPrompt = [&](int n) {
        if (n == 1)
            firstDurable = s.fake.isDurable("/A/report.doc.!00");
    };
    QCOMPARE(s.run(), SplitOutcome::Done);
    QVERIFY(firstDurable);
    QVERIFY(s.fake.isDurable("/A/report.doc.!01") && s.fake.isDurable("/A/MERGE.BAT"));
}

void tst_DataSafety::flushFailureIsAWriteError_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    QTest::addColumn<QStringList>("dialogs");
    const QString writeFailed = QString::fromStdString(errorOf(texts::WriteFailed));
    const QString p1 = QString::fromStdString(prompt(1)), p2 = QString::fromStdString(prompt(2));
    QTest::newRow("first part's data") << int(Op::Flush) << 1 << QStringList{p1, writeFailed};
    QTest::newRow("first part's name") << int(Op::FlushFolder) << 1 << QStringList{p1, writeFailed};
    QTest::newRow("the script's data") << int(Op::Flush) << 3 << QStringList{p1, p2, "message Error writing file /A/MERGE.BAT",
                                                                             QString::fromStdString(spannedText())};
}

void tst_DataSafety::flushFailureIsAWriteError()
{
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(QStringList, dialogs);
    Span s({Medium{}, Medium{}}, patternBytes(2000000, 5));
    s.fake.failCall(Op(op), nth, error::DeviceError);
    s.run();
    QStringList seen;
    for (const auto& d : s.view.dialogs())
        seen << QString::fromStdString(d);
    QCOMPARE(seen, dialogs);
    QCOMPARE(s.fake.openFiles(), 0);
}

void tst_DataSafety::mediumThatHoldsLessEndsThePartThere_data()
{
    QTest::addColumn<int>("reserved");
    QTest::addColumn<int>("maxFiles");
    QTest::addColumn<QList<int>>("partSizes"); // per medium in turn
    QTest::addColumn<QStringList>("errors");
    // Free space that the file system keeps for its own blocks.
    QTest::newRow("bookkeeping blocks") << 100000 << -1 << QList<int>{1357664, 642336} << QStringList{};
    // Room, but no directory entry: the full-diskette prompt, same number.
    QTest::newRow("no entry left") << 0 << 0 << QList<int>{0, 1457664, 542336}
                                   << QStringList{QString::fromStdString(errorOf(texts::DisketteFull))};
}

void tst_DataSafety::mediumThatHoldsLessEndsThePartThere()
{
    QFETCH(int, reserved);
    QFETCH(int, maxFiles);
    QFETCH(QList<int>, partSizes);
    QFETCH(QStringList, errors);
    const std::string data = patternBytes(2000000, 5);
    Medium first;
    first.reserved = reserved;
    first.maxFiles = maxFiles;
    Span s({first, Medium{}, Medium{}}, data);
    QCOMPARE(s.run(), SplitOutcome::Done);
    std::string joined;
    std::vector<std::string> bare;
    for (int m = 0; m < partSizes.size(); ++m) {
        for (const auto& [name, contents] : s.fake.diskette(m)) {
            if (name == "MERGE.BAT" || name == "merge.sh" || name == "report.doc.sha256")
                continue;
            joined += contents;
            bare.push_back(name);
            QCOMPARE(int(contents.size()), partSizes[m]);
        }
        if (partSizes[m] == 0)
            QVERIFY(s.fake.diskette(m).empty());
    }
    QVERIFY(joined == data);
    QVERIFY(s.fake.diskette(int(partSizes.size()) - 1).count("MERGE.BAT"));
    QStringList seen;
    for (const auto& d : s.view.dialogs())
        if (d.starts_with("error "))
            seen << QString::fromStdString(d);
    QCOMPARE(seen, errors);
}

void tst_DataSafety::noFileTheRunWritesIsTheSource()
{
    // A file called MERGE.BAT on the diskette is split onto the diskette.
    Medium medium;
    medium.files = {{"MERGE.BAT", Data}};
    Span s({medium});
    QCOMPARE(s.run("/A/", "MERGE.BAT"), SplitOutcome::Failed);
    QCOMPARE(s.view.dialogs().back(), errorOf(texts::sourceNamedLikeScript("MERGE.BAT")));
    QVERIFY(s.fake.diskette(0).at("MERGE.BAT") == Data);
}

void tst_DataSafety::anEarlierPartThatIsTheSourceIsNotDeleted()
{
    // report.doc is a link to a part of an earlier run: clearing that run
    // would delete the very data being split.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("REPORT_PARTS"));
    const QString target = dir.filePath("REPORT_PARTS/report.doc.!03");
    QFile f(target);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(Data.data(), qint64(Data.size())) == qint64(Data.size()));
    f.close();
    QVERIFY(QFile::link(target, dir.filePath("report.doc")));
    darvolt::PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform platform(options);
    RecordingView view;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    QCOMPARE(SplitFile(platform, view, {"report.doc", folder, 2048}).outcome, SplitOutcome::Failed);
    QCOMPARE(view.dialogs(), std::vector<std::string>{errorOf(texts::wouldOverwriteSource(
                                 QFile::encodeName(target).toStdString(), false))});
    QCOMPARE(QFileInfo(target).size(), qint64(Data.size()));
}

QTEST_GUILESS_MAIN(tst_DataSafety)
#include "tst_datasafety.moc"
