#include "platform/fakeplatform.h"
#include "parts/mergescript.h"
#include "parts/partnaming.h"
#include "split/splitfile.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QTest>

using darvolt::FakePlatform;
using darvolt::SplitOutcome;
using Op = FakePlatform::Operation;

namespace {

const std::string Folder = "/data/";
const std::string Source = "/data/report.doc";
const std::string Output = "/data/REPORT_PARTS/";

std::vector<std::string> bareNames(int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(darvolt::BarePartName("report.doc", i));
    return names;
}

} // namespace

class tst_SplitFile : public QObject {
    Q_OBJECT

private slots:
    void partsHaveTheRequestedSizes_data();
    void partsHaveTheRequestedSizes();
    void standardPartsCountHalfKilobytesOut();
    void counterPassesHundredWithThreeDigits();
    void statusShowsBarePartNamesInOrder();
    void sourceIsNeitherWrittenNorChanged();
    void existingOutputFolderKeepsForeignFiles();
    void relativeSourceResolvesInCurrentDirectory();
    void smallBlocksGiveTheSameParts();
    void pumpsBeforeEveryAttemptAndOnTimeBudget();
    void secondRunInsideARunIsRefused();
    void fileManagerCanBeLeftClosed();
    void aFileManagerThatCannotStartIsToldWithTheFolder();
    void aNameMergeScriptCannotJoinIsToldAtTheEnd_data();
    void aNameMergeScriptCannotJoinIsToldAtTheEnd();
};

void tst_SplitFile::partsHaveTheRequestedSizes_data()
{
    QTest::addColumn<qint64>("sourceSize");
    QTest::addColumn<qint64>("partSize");
    QTest::addColumn<QList<qint64>>("parts");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<qint64>("position");

    QTest::newRow("3000 in 1 KB") << qint64(3000) << qint64(1024) << QList<qint64>{1024, 1024, 952} << qint64(2) << qint64(2);
    QTest::newRow("exact multiple ends in an empty part")
        << qint64(2048) << qint64(1024) << QList<qint64>{1024, 1024, 0} << qint64(2) << qint64(2);
    QTest::newRow("report.doc") << qint64(3000000) << qint64(1457664)
                                << QList<qint64>{1457664, 1457664, 84672} << qint64(2929) << qint64(2928);
    QTest::newRow("one byte more than a part") << qint64(4097) << qint64(4096) << QList<qint64>{4096, 1} << qint64(4) << qint64(4);
    QTest::newRow("multi-block parts") << qint64(3 * 1048576 + 5) << qint64(2 * 1048576)
                                       << QList<qint64>{2 * 1048576, 1048576 + 5} << qint64(3072) << qint64(3072);
}

void tst_SplitFile::partsHaveTheRequestedSizes()
{
    QFETCH(qint64, sourceSize);
    QFETCH(qint64, partSize);
    QFETCH(QList<qint64>, parts);
    QFETCH(qint64, maximum);
    QFETCH(qint64, position);

    FakePlatform fake;
    const std::string data = patternBytes(static_cast<std::size_t>(sourceSize));
    fake.addFile(Source, data);
    RecordingView view;

    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, partSize}).outcome, SplitOutcome::Done);

    std::string joined;
    std::size_t offset = 0;
    for (int i = 0; i < parts.size(); ++i) {
        const std::string name = Output + darvolt::BarePartName("report.doc", i);
        QVERIFY2(fake.hasFile(name), name.c_str());
        const std::string part = fake.contents(name);
        QCOMPARE(qint64(part.size()), parts[i]);
        QVERIFY(part == data.substr(offset, part.size()));
        offset += part.size();
    }
    QVERIFY(!fake.hasFile(Output + darvolt::BarePartName("report.doc", int(parts.size()))));
    QCOMPARE(offset, data.size());
    QCOMPARE(view.maximum, maximum);
    QCOMPARE(view.position, position);
    QVERIFY(view.dialogs().empty());
    // The script lists the parts in order, the empty one included.
    QCOMPARE(fake.contents(Output + "MERGE.BAT"), darvolt::MergeScriptText(bareNames(int(parts.size())), "report.doc"));
    QCOMPARE(fake.fileManagerLaunches(), std::vector<std::string>{"/data/REPORT_PARTS"});
    QCOMPARE(fake.openFiles(), 0);
}

void tst_SplitFile::standardPartsCountHalfKilobytesOut()
{
    // 1457664 bytes are 1423.5 KB: each standard part moves the bar by 1423.
    FakePlatform fake;
    fake.addFile(Source, patternBytes(2 * 1457664 + 10));
    RecordingView view;
    std::vector<std::int64_t> positions;
    view.onPump = [&] { positions.push_back(view.position); };
    darvolt::SplitOptions options;
    options.clock = [] { return std::chrono::steady_clock::time_point{}; }; // pumps only per attempt
    SplitFile(fake, view, {"report.doc", Folder, 1457664}, options);
    QCOMPARE(positions, (std::vector<std::int64_t>{0, 1423, 2846}));
    QCOMPARE(view.position, 2846);
    QCOMPARE(view.maximum, (2 * 1457664 + 10) / 1024);
}

void tst_SplitFile::counterPassesHundredWithThreeDigits()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(104 * 1024 + 1));
    RecordingView view;
    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 1024}).outcome, SplitOutcome::Done);
    QVERIFY(fake.hasFile(Output + "report.doc.!99"));
    QVERIFY(fake.hasFile(Output + "report.doc.!100"));
    QCOMPARE(fake.contents(Output + "report.doc.!104").size(), std::size_t(1));
    const std::string script = fake.contents(Output + "MERGE.BAT");
    // Parts 00 to 99 by the pattern, the later ones by name.
    QVERIFY(script.find("\r\ndel report.doc.!??\r\ndel \"report.doc.!100\" \"report.doc.!101\" \"report.doc.!102\" "
                        "\"report.doc.!103\" \"report.doc.!104\"\r\n")
            != std::string::npos);
}

void tst_SplitFile::statusShowsBarePartNamesInOrder()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(2500));
    RecordingView view;
    SplitFile(fake, view, {"report.doc", Folder, 1024});
    QCOMPARE(view.statuses(), (std::vector<std::string>{"Writing: report.doc.!00", "Writing: report.doc.!01",
                                                       "Writing: report.doc.!02"}));
}

void tst_SplitFile::sourceIsNeitherWrittenNorChanged()
{
    FakePlatform fake;
    const std::string data = patternBytes(5000);
    fake.addFile(Source, data);
    fake.setReadOnly(Source);
    RecordingView view;
    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 1024}).outcome, SplitOutcome::Done);
    QCOMPARE(fake.contents(Source), data);
    QCOMPARE(fake.changeCount(Source), std::uint64_t(0));
    QCOMPARE(fake.calls(Op::OpenForReading), 1);
}

void tst_SplitFile::existingOutputFolderKeepsForeignFiles()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(2500));
    fake.addFile(Output + "report.doc.!07", "stale part of an earlier, longer run");
    fake.addFile(Output + "MERGE.BAT", "old script");
    fake.addFile(Output + "notes.txt", "mine");
    fake.addFile(Output + "photo.jpg.!00.bak", "no part of a set");
    fake.addFile(Output + "sub/inner.txt", "deeper");
    RecordingView view;

    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 1024}).outcome, SplitOutcome::Done);
    QVERIFY(!fake.hasFile(Output + "report.doc.!07"));
    QCOMPARE(fake.contents(Output + "MERGE.BAT"), darvolt::MergeScriptText(bareNames(3), "report.doc"));
    QCOMPARE(fake.contents(Output + "notes.txt"), std::string("mine"));
    QVERIFY(fake.hasFile(Output + "photo.jpg.!00.bak"));
    QCOMPARE(fake.contents(Output + "sub/inner.txt"), std::string("deeper"));
}

void tst_SplitFile::relativeSourceResolvesInCurrentDirectory()
{
    FakePlatform fake;
    fake.addFile("report.doc", patternBytes(1500));
    RecordingView view;
    QCOMPARE(SplitFile(fake, view, {"report.doc", "", 1024}).outcome, SplitOutcome::Done);
    QVERIFY(fake.hasFile("REPORT_PARTS/report.doc.!00"));
    QVERIFY(fake.hasFile("REPORT_PARTS/MERGE.BAT"));
    QCOMPARE(fake.fileManagerLaunches(), std::vector<std::string>{"REPORT_PARTS"});
}

void tst_SplitFile::smallBlocksGiveTheSameParts()
{
    FakePlatform fake;
    const std::string data = patternBytes(50000, 7);
    fake.addFile(Source, data);
    RecordingView view;
    darvolt::SplitOptions options;
    options.blockSize = 3000; // not a multiple of 1024 on purpose
    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 20480}, options).outcome, SplitOutcome::Done);
    QCOMPARE(fake.contents(Output + "report.doc.!00") + fake.contents(Output + "report.doc.!01")
                 + fake.contents(Output + "report.doc.!02"),
             data);
    QCOMPARE(view.position, 20 + 20 + 8);
}

void tst_SplitFile::pumpsBeforeEveryAttemptAndOnTimeBudget()
{
    // Frozen clock: one pump per part, right before the part is created.
    {
        FakePlatform fake;
        fake.addFile(Source, patternBytes(3 * 1048576));
        RecordingView view;
        darvolt::SplitOptions options;
        options.blockSize = 65536;
        options.clock = [] { return std::chrono::steady_clock::time_point{}; };
        SplitFile(fake, view, {"report.doc", Folder, 1048576}, options);
        QCOMPARE(view.pumps, 4); // three full parts and the empty fourth
        for (std::size_t i = 0; i < view.log.size(); ++i)
            if (view.log[i].starts_with("status "))
                QCOMPARE(view.log[i - 1], std::string("pump"));
    }
    // A clock that moves 30 ms per reading: the budget runs out before every
    // block, so every block is preceded by a pump.
    {
        FakePlatform fake;
        fake.addFile(Source, patternBytes(1048576 + 100));
        RecordingView view;
        darvolt::SplitOptions options;
        options.blockSize = 65536;
        auto now = std::chrono::steady_clock::time_point{};
        options.clock = [&now] { return now += std::chrono::milliseconds(30); };
        SplitFile(fake, view, {"report.doc", Folder, 1048576}, options);
        const int blocks = 16 + 2; // part 0 in 16 blocks; part 1 in one, then the read that finds the end
        const int attempts = 2;
        QCOMPARE(view.pumps, attempts + blocks);
    }
}

void tst_SplitFile::secondRunInsideARunIsRefused()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(3000));
    fake.addFile("/other/x.bin", patternBytes(3000));
    RecordingView view;
    std::vector<SplitOutcome> inner;
    RecordingView innerView;
    view.onPump = [&] { inner.push_back(SplitFile(fake, innerView, {"x.bin", "/other/", 1024}).outcome); };
    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 1024}).outcome, SplitOutcome::Done);
    QVERIFY(!inner.empty());
    for (auto outcome : inner)
        QCOMPARE(outcome, SplitOutcome::Busy);
    QVERIFY(innerView.log.empty());
    QVERIFY(!fake.hasDirectory("/other/X_PARTS"));
    // Afterwards a new run is possible again.
    QCOMPARE(SplitFile(fake, innerView, {"x.bin", "/other/", 1024}).outcome, SplitOutcome::Done);
}

void tst_SplitFile::fileManagerCanBeLeftClosed()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(3000));
    RecordingView view;
    darvolt::SplitOptions options;
    options.openFileManager = false;
    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 1024}, options).outcome, SplitOutcome::Done);
    QVERIFY(fake.fileManagerLaunches().empty());
}

void tst_SplitFile::aFileManagerThatCannotStartIsToldWithTheFolder()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(3000));
    fake.failCall(FakePlatform::Operation::OpenFileManager, 1, darvolt::error::FileNotFound);
    RecordingView view;
    // The parts are all there: the run is done, only the folder did not open.
    QCOMPARE(SplitFile(fake, view, {"report.doc", Folder, 1024}).outcome, SplitOutcome::Done);
    QCOMPARE(view.dialogs(), std::vector<std::string>{"information Split finished, but no file manager could be "
                                                      "opened. The parts are in /data/REPORT_PARTS"});
    QVERIFY(fake.hasFile(Output + "MERGE.BAT"));
}

void tst_SplitFile::aNameMergeScriptCannotJoinIsToldAtTheEnd_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("said"); // the one dialog; empty for none
    const QString tail = "Join them with darvolt-join or merge.sh.";
    QTest::newRow("plain") << QByteArray("report.doc") << "";
    QTest::newRow("German, in a code page") << QByteArray("\xc3\x9c" "bersicht.pdf") << "";
    QTest::newRow("Japanese") << QByteArray("\xe6\x97\xa5\xe6\x9c\xac.txt")
                              << "message MERGE.BAT cannot join the parts of \u65e5\u672c.txt: the Windows command "
                                 "interpreter cannot read every character of that name. " + tail;
    QTest::newRow("a colon") << QByteArray("10:30.log")
                             << "message MERGE.BAT cannot join the parts of 10:30.log: Windows allows no file of that "
                                "name. " + tail;
}

void tst_SplitFile::aNameMergeScriptCannotJoinIsToldAtTheEnd()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, said);
    FakePlatform fake;
    fake.addFile(Folder + name.toStdString(), patternBytes(3000));
    RecordingView view;
    // The set is complete and the file manager still opens on it.
    QCOMPARE(SplitFile(fake, view, {name.toStdString(), Folder, 1024}).outcome, SplitOutcome::Done);
    std::vector<std::string> dialogs;
    if (!said.isEmpty())
        dialogs.push_back(said.toStdString());
    QCOMPARE(view.dialogs(), dialogs);
    QCOMPARE(fake.fileManagerLaunches().size(), std::size_t(1));
}

QTEST_GUILESS_MAIN(tst_SplitFile)
#include "tst_splitfile.moc"
