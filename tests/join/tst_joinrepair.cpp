// The join engine with recovery data, par2 scripted through the fake: what
// it runs, when, what it tells, and how each answer of par2 ends the run.
// (tst_darvoltjoin runs the real par2 on real parts.)

#include "join/joinfile.h"
#include "join/recoveryset.h"
#include "platform/fakeplatform.h"
#include "parts/partnaming.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"
#include "support/par2forge.h"

#include <QTest>

using namespace darvolt;

namespace {

class LogView : public JoinView {
public:
    QStringList log; // "error ...", "warning ...", "information ...", "status ..."
    std::atomic<bool>* stopAtRepair = nullptr;
    void setProgress(std::int64_t, std::int64_t) override {}
    void setStatusText(const std::string& text) override
    {
        log << "status " + QString::fromStdString(text);
        if (stopAtRepair != nullptr && text.starts_with("Repairing"))
            *stopAtRepair = true;
    }
    void showError(const std::string& text) override { log << "error " + QString::fromStdString(text); }
    void showWarning(const std::string& text) override { log << "warning " + QString::fromStdString(text); }
    void showInformation(const std::string& text) override { log << "information " + QString::fromStdString(text); }
    void showCheck(const std::string&, bool) override {}
    bool confirmReplace(const std::string&) override { return false; }
    void processPendingMessages() override {}
};

// The main packet and file descriptions of a PAR2 set of these files,
// of 1 KB each, in slices of half a kilobyte: par2's work, not the
// program's own decoder's.
std::string par2Index(const std::vector<std::string>& names)
{
    QList<par2forge::File> files;
    for (const std::string& name : names)
        files << par2forge::File{QByteArray::fromStdString(name), QByteArray(1024, 'd')};
    return par2forge::setOf(512, files).critical.toStdString();
}

const std::string Folder = "/data/REPORT_PARTS/";
std::string part(int n) { return Folder + BarePartName("report.doc", n); }

} // namespace

class tst_JoinRepair : public QObject {
    Q_OBJECT

private slots:
    void repairsOrSaysWhyNot_data();
    void repairsOrSaysWhyNot();
    void findsTheSetThatNamesTheParts();
};

void tst_JoinRepair::repairsOrSaysWhyNot_data()
{
    QTest::addColumn<QString>("harm");  // "missing", "damaged", "empty last missing", "no sums"
    QTest::addColumn<QString>("par2");  // what the scripted par2 does: "absent", "repairs", "cannot", "breaks", "stopped"
    QTest::addColumn<bool>("check");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("said"); // lines of the log, in order, each beginning so
    QTest::addColumn<QStringList>("runs"); // par2's actions
    const int joined = int(JoinOutcome::Joined);
    const int bad = int(JoinOutcome::CheckFailed);
    const QString done = "information File /data/REPORT_PARTS/report.doc joined from 5 parts";
    const QString rebuilt = "warning Part report.doc.!01 was missing or damaged and rebuilt from the recovery data in report.doc.par2";
    const QString repairing = "status Repairing: report.doc.par2";
    const QStringList repair{"repair"};
    QTest::newRow("missing, rebuilt") << "missing" << "repairs" << false << joined
                                      << QStringList{repairing, rebuilt, "status Joining: report.doc.!00", done} << repair;
    QTest::newRow("damaged, rebuilt") << "damaged" << "repairs" << false << joined
                                      << QStringList{repairing, rebuilt, done}
                                      << repair;
    QTest::newRow("missing, par2 absent") << "missing" << "absent" << false << bad
                                          << QStringList{"error Part report.doc.!01 is missing", "error The recovery data in report.doc.par2 may rebuild the parts, but par2 is not installed"}
                                          << repair;
    QTest::newRow("damaged, beyond repair") << "damaged" << "cannot" << false << bad
                                            << QStringList{"error The recovery data in report.doc.par2 cannot rebuild the parts: report.doc.!01 is damaged; 2 more recovery blocks are needed"}
                                            << repair;
    QTest::newRow("par2 breaks") << "missing" << "breaks" << false << int(JoinOutcome::Failed)
                                 << QStringList{"error Part report.doc.!01 is missing", "error par2 could not rebuild the parts from report.doc.par2: Out of memory"}
                                 << repair;
    QTest::newRow("stopped while repairing") << "missing" << "stopped" << false << int(JoinOutcome::Interrupted)
                                             << QStringList{repairing, "error Join interrupted: report.doc"} << repair;
    QTest::newRow("empty last part, no par2 needed") << "empty last missing" << "absent" << false << joined
                                                     << QStringList{"warning Part report.doc.!04 was missing", done} << QStringList{};
    QTest::newRow("no sums: par2 checks first") << "no sums" << "repairs" << false << joined
                                                << QStringList{repairing, "warning No checksum file was found for report.doc: the parts were checked against the recovery data in report.doc.par2 only", done}
                                                << repair;
    QTest::newRow("no sums, par2 absent: joined unchecked") << "no sums" << "absent" << false << joined
                                                            << QStringList{"warning The recovery data in report.doc.par2 may rebuild", "warning No checksum file was found for report.doc: the parts could not be checked", done}
                                                            << repair;
    QTest::newRow("check, repairable") << "damaged" << "repairs" << true << int(JoinOutcome::Repairable)
                                       << QStringList{"error 1 of 5 parts of report.doc failed the check", "information The recovery data in report.doc.par2 can rebuild"}
                                       << QStringList{"verify"};
    QTest::newRow("check, beyond repair") << "missing" << "cannot" << true << bad
                                          << QStringList{"error 1 of 5", "error The recovery data in report.doc.par2 cannot rebuild the parts: report.doc.!01 is damaged"}
                                          << QStringList{"verify"};
    QTest::newRow("check, no sums, all there") << "no sums" << "repairs" << true << int(JoinOutcome::Checked)
                                               << QStringList{"information All 5 parts of report.doc match the recovery data in report.doc.par2"}
                                               << QStringList{"verify"};
}

void tst_JoinRepair::repairsOrSaysWhyNot()
{
    QFETCH(QString, harm);
    QFETCH(QString, par2);
    QFETCH(bool, check);
    QFETCH(int, outcome);
    QFETCH(QStringList, said);
    QFETCH(QStringList, runs);

    FakePlatform fake;
    fake.setCaseSensitive(true);
    const std::string data = patternBytes(4096, 5); // four parts of 1 KB and an empty one
    fake.addFile("/data/report.doc", data);
    RecordingView splitView;
    SplitOptions splitOptions;
    splitOptions.openFileManager = false;
    QCOMPARE(SplitFile(fake, splitView, {"report.doc", "/data/", 1024}, splitOptions).outcome, SplitOutcome::Done);
    std::map<std::string, std::string> whole;
    for (int n = 0; n < 5; ++n)
        whole[part(n)] = fake.contents(part(n));
    fake.addFile(Folder + "report.doc.par2", par2Index({"report.doc.!00", "report.doc.!01", "report.doc.!02", "report.doc.!03"}));
    // A file that looks like par2's copy of a damaged part but was there
    // before: not the join's to remove.
    fake.addFile(part(3) + ".1", "kept");

    if (harm == "missing")
        fake.removeFile(part(1));
    else if (harm == "damaged")
        fake.addFile(part(1), "not what it was");
    else if (harm == "empty last missing")
        fake.removeFile(part(4));
    else
        fake.removeFile(Folder + "report.doc.sha256");

    std::atomic<bool> stop{false};
    LogView view;
    if (par2 == "stopped")
        view.stopAtRepair = &stop;
    if (par2 != "absent")
        fake.setProgram("par2", [&](const ProcessRequest& request) {
            const std::string& action = request.command.at(1);
            // Meanwhile another program writes beside the parts.
            if (action == "repair")
                fake.addFile(Folder + "notes.txt.1", "written meanwhile");
            if (par2 == "breaks")
                return FakePlatform::ProgramRun{{"Loading \"report.doc.par2\".\n", "Out of memory\n"}, 8};
            if (par2 == "cannot")
                return FakePlatform::ProgramRun{{"Target: \"report.doc.!00\" - found.\n",
                                                 "File: \"report.doc.!01\" - no data found.\n",
                                                 "Repair is not possible.\nYou need 2 more recovery blocks to be able to repair.\n"},
                                                2};
            const bool harmed = harm == "missing" || harm == "damaged";
            // par2 repairs in the folder it runs in, where the parts are linked.
            if (action == "repair")
                for (const auto& [path, contents] : whole) {
                    const std::string there = request.folder + "/" + path.substr(Folder.size());
                    if (!fake.hasFile(there) || fake.contents(there) != contents) {
                        if (fake.hasFile(there)) { // as par2 keeps a damaged file
                            fake.addFile(there + ".1", fake.contents(there));
                            fake.removeFile(there);
                        }
                        fake.addFile(there, contents);
                    }
                }
            return FakePlatform::ProgramRun{{"Target: \"report.doc.!00\" - found.\r", "Repairing: 50.0%\r"},
                                            action == "verify" && harmed ? 1 : 0};
        });

    JoinOptions options;
    options.checkOnly = check;
    options.stop = &stop;
    // Beside the digests: after a repair, the parts it found good are not
    // hashed again, but every consumer still sees them.
    struct Seeing : BlockConsumer {
        void consume(int, std::int64_t, std::span<const std::byte> bytes) override
        {
            seen.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
        void endPart(int, std::int64_t) override {}
        std::string seen;
    } seeing;
    options.consumers = {&seeing};
    const JoinResult result = JoinParts(fake, view, Folder + "report.doc.!00", options);
    QCOMPARE(int(result.outcome), outcome);
    if (outcome == int(JoinOutcome::Joined))
        QVERIFY(seeing.seen.ends_with(data));

    int at = 0;
    for (const QString& line : said) {
        while (at < view.log.size() && !view.log[at].startsWith(line))
            ++at;
        QVERIFY2(at < view.log.size(), qPrintable(line + "\n--- in ---\n" + view.log.join('\n')));
    }
    QStringList started;
    for (const ProcessRequest& request : fake.processStarts()) {
        started << QString::fromStdString(request.command.at(1));
        // A check reads the parts where they are; a repair works in a folder
        // of its own beside them.
        if (request.command.at(1) == "verify") {
            QCOMPARE(request.command, (std::vector<std::string>{"par2", "verify", "--", "report.doc.par2"}));
            QCOMPARE(request.folder, std::string("/data/REPORT_PARTS"));
        } else {
            QCOMPARE(request.command, (std::vector<std::string>{"par2", "repair", "-B.", "--", "../report.doc.par2"}));
            QVERIFY(request.folder.starts_with("/data/REPORT_PARTS/.darvolt-repair-"));
        }
    }
    // and that folder goes when the repair is over.
    for (const std::string& folder : fake.directoryPaths())
        QVERIFY2(folder.find(".darvolt-repair-") == std::string::npos, folder.c_str());
    QCOMPARE(started, runs);
    QCOMPARE(fake.terminatedProcesses(), par2 == "stopped" ? 1 : 0);
    const int joined = int(JoinOutcome::Joined);
    if (outcome == joined)
        QVERIFY(fake.contents(Folder + "report.doc") == data);
    else
        QVERIFY(!fake.hasFile(Folder + "report.doc"));
    QCOMPARE(result.rebuilt.empty(), outcome != joined || harm == "no sums");
    // par2's copy of the damaged part goes once the rebuilt one has passed
    // its check; nothing else does.
    QVERIFY(!fake.hasFile(part(1) + ".1"));
    QCOMPARE(fake.contents(part(3) + ".1"), std::string("kept"));
    if (runs.contains("repair") && par2 != "absent")
        QCOMPARE(fake.contents(Folder + "notes.txt.1"), std::string("written meanwhile"));
}

void tst_JoinRepair::findsTheSetThatNamesTheParts()
{
    FakePlatform fake;
    fake.setCaseSensitive(true);
    PartSet set;
    set.folder = "/p";
    set.sourceName = "a.bin";
    set.naming = SetNaming::ours(set.sourceName);
    fake.addFile("/p/a.bin.!00", "x");
    // Another file's set, one that names our parts under another name, and
    // volumes of our own whose index file is lost.
    fake.addFile("/p/b.bin.par2", par2Index({"b.bin.!00"}));
    fake.addFile("/p/c.par2", par2Index({"a.bin.!00", "a.bin.!01"}));
    QCOMPARE(FindRecoverySet(fake, set).usable->index, std::string("c.par2"));
    fake.addFile("/p/a.bin.vol0+1.par2", std::string("PAR2\0PKT", 8) + par2Index({"a.bin.!01"}).substr(8));
    QCOMPARE(FindRecoverySet(fake, set).usable->index, std::string("a.bin.vol0+1.par2"));
    QCOMPARE(FindRecoverySet(fake, set).usable->covers, std::vector<std::string>{"a.bin.!01"});
    fake.addFile("/p/a.bin.par2", "not PAR2 at all");
    QCOMPARE(FindRecoverySet(fake, set).usable->index, std::string("a.bin.vol0+1.par2"));
    fake.removeFile("/p/c.par2");
    fake.removeFile("/p/a.bin.vol0+1.par2");
    QVERIFY(!FindRecoverySet(fake, set).usable);
}

QTEST_GUILESS_MAIN(tst_JoinRepair)
#include "tst_joinrepair.moc"
