// darvolt-join: its command line, and the program itself on parts that
// darvolt-split made, with what sha256sum says of the result.

#include "app/consolejoincommand.h"
#include "app/consolejoinview.h"
#include "app/failurewatch.h"
#include "platform/fakeplatform.h"
#include "support/programrun.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

using namespace darvolt;
using Action = JoinCommand::Action;

Q_DECLARE_METATYPE(Action)

namespace {

ProgramRun runProgram(const QString& program, const QStringList& args, const QString& workingDirectory)
{
    return RunToEnd(program, args, {}, QProcessEnvironment::systemEnvironment(), workingDirectory);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

} // namespace

class tst_DarvoltJoin : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void program_data();
    void program();
    void rebuildsFromRecoveryData_data();
    void rebuildsFromRecoveryData();
    void progressStaysOnOneLineBetweenTheChecks_data();
    void progressStaysOnOneLineBetweenTheChecks();
};

void tst_DarvoltJoin::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("check");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("inputOrProblem"); // for a usage error, the whole problem
    QTest::newRow("a part") << QStringList{"a.!03"} << Action::Join << false << false << "" << "a.!03";
    QTest::newRow("all options") << QStringList{"--force", "-o", "x", "d/"} << Action::Join << false << true << "x" << "d/";
    QTest::newRow("output joined") << QStringList{"--output=y z", "s.sha256"} << Action::Join << false << false << "y z"
                                   << "s.sha256";
    QTest::newRow("abbreviated, after the input") << QStringList{"s.sha256", "--out", "y", "--fo"} << Action::Join
                                                  << false << true << "y" << "s.sha256";
    QTest::newRow("clustered, the value attached") << QStringList{"-qfoy", "a"} << Action::Join << false << true << "y"
                                                   << "a";
    QTest::newRow("check") << QStringList{"-c", "--", "-odd"} << Action::Join << true << false << "" << "-odd";
    QTest::newRow("help wins") << QStringList{"x", "--help"} << Action::Help << false << false << "" << "";
    QTest::newRow("version") << QStringList{"--version", "x"} << Action::Version << false << false << "" << "";
    QTest::newRow("nothing named") << QStringList{"-f"} << Action::UsageError << false << true << ""
                                   << "name a part, the folder of the parts or the checksum file";
    QTest::newRow("two sets") << QStringList{"a", "b"} << Action::UsageError << false << false << ""
                              << "one set of parts at a time";
    QTest::newRow("output without a name") << QStringList{"a", "--output"} << Action::UsageError << false << false
                                           << "" << "option '--output' requires an argument";
    QTest::newRow("output empty") << QStringList{"a", "-o", ""} << Action::UsageError << false << false << ""
                                  << "--output needs a file name";
    QTest::newRow("check writes nothing") << QStringList{"--check", "-o", "x", "a"} << Action::UsageError << true
                                          << false << "x"
                                          << "--check writes nothing: --output and --force do not go with it";
    QTest::newRow("unknown") << QStringList{"--fast", "a"} << Action::UsageError << false << false << ""
                             << "unrecognized option '--fast'";
    QTest::newRow("unknown letter") << QStringList{"-x", "a"} << Action::UsageError << false << false << ""
                                    << "invalid option -- 'x'";
    QTest::newRow("no value goes with it") << QStringList{"--check=yes", "a"} << Action::UsageError << false << false
                                           << "" << "option '--check' doesn't allow an argument";
}

void tst_DarvoltJoin::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(bool, check);
    QFETCH(bool, force);
    QFETCH(QString, output);
    QFETCH(QString, inputOrProblem);
    std::vector<std::string> argv;
    for (const QString& a : args)
        argv.push_back(a.toStdString());
    const JoinCommand command = ParseJoinCommand(argv);
    QCOMPARE(command.action, action);
    if (action == Action::UsageError) {
        QCOMPARE(QString::fromStdString(command.problem), inputOrProblem);
        return;
    }
    if (action == Action::Help)
        return;
    QCOMPARE(command.check, check);
    QCOMPARE(command.force, force);
    QCOMPARE(QString::fromStdString(command.output), output);
    QCOMPARE(QString::fromStdString(command.input), inputOrProblem);
}

void tst_DarvoltJoin::program_data()
{
    QTest::addColumn<QStringList>("args"); // "@" is the folder of the parts
    QTest::addColumn<QString>("twist");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on standard output, or standard error when the status is not 0
    QTest::addColumn<QString>("joined"); // where the joined file is, if anywhere
    QTest::newRow("from the folder") << QStringList{"@"} << "" << 0 << "File @/my file.bin joined from 4 parts, every"
                                     << "@/my file.bin";
    QTest::newRow("elsewhere") << QStringList{"--out", "@/../out.bin", "@/my file.bin.!02"} << "" << 0 << "File"
                               << "@/../out.bin";
    QTest::newRow("quiet") << QStringList{"-q", "@"} << "" << 0 << "" << "@/my file.bin";
    QTest::newRow("damaged") << QStringList{"@/my file.bin.sha256"} << "damage" << 4
                             << "darvolt-join: Part my file.bin.!01 is damaged" << "";
    QTest::newRow("existing") << QStringList{"@"} << "exists" << 1
                              << "darvolt-join: @/my file.bin already exists; --force replaces it" << "";
    QTest::newRow("existing, forced") << QStringList{"--force", "@"} << "exists" << 0 << "File" << "@/my file.bin";
    QTest::newRow("unchecked") << QStringList{"@"} << "nosums" << 0 << "File @/my file.bin joined from 4 parts\n"
                               << "@/my file.bin";
    QTest::newRow("check") << QStringList{"--check", "@"} << "" << 0
                           << "my file.bin.!00: OK (1024000 bytes)\nmy file.bin.!01: OK" << "";
    QTest::newRow("check, damaged") << QStringList{"--check", "@"} << "damage" << 4
                                    << "darvolt-join: 1 of 4 parts of my file.bin failed the check" << "";
    QTest::newRow("check, damaged, quiet") << QStringList{"-qc", "@"} << "damage" << 4
                                           << "darvolt-join: 1 of 4 parts of my file.bin failed the check" << "";
    QTest::newRow("usage") << QStringList{} << "" << 2 << "darvolt-join: name a part" << "";
}

void tst_DarvoltJoin::program()
{
    QFETCH(QStringList, args);
    QFETCH(QString, twist);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QString, joined);
    QTemporaryDir dir;
    QByteArray data(3000 * 1024 + 77, Qt::Uninitialized);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 4096);
    QFile source(dir.filePath("my file.bin"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
    source.close();
    QCOMPARE(runProgram(DARVOLT_SPLIT_PROGRAM, {"--custom", "1000", "my file.bin"}, dir.path()).status, 0);
    const QString parts = dir.filePath("MY FILE_PARTS");
    QVERIFY(QFile::remove(dir.filePath("my file.bin")));

    if (twist == "damage") {
        QFile part(parts + "/my file.bin.!01");
        QVERIFY(part.open(QIODevice::ReadWrite) && part.seek(500) && part.write("#") == 1);
    } else if (twist == "exists") {
        QFile old(parts + "/my file.bin");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    } else if (twist == "nosums") {
        QVERIFY(QFile::remove(parts + "/my file.bin.sha256"));
    }
    for (QString& arg : args)
        arg.replace("@", parts);
    said.replace("@", parts);
    joined.replace("@", parts);

    const ProgramRun run = runProgram(DARVOLT_JOIN_PROGRAM, args, dir.path());
    QCOMPARE(run.status, status);
    const QByteArray text = status == 0 ? run.out : run.err;
    QVERIFY2(text.startsWith(said.toUtf8()), (run.out + run.err).constData());
    // Quiet: only what went wrong.
    if (args.contains("-q") || args.contains("-qc")) {
        QVERIFY2(!run.out.contains(": OK") && run.out.isEmpty() == (status == 0), run.out.constData());
        QVERIFY(status == 0 || run.out.startsWith("my file.bin.!01: FAILED"));
    }
    if (twist == "nosums")
        QVERIFY(run.err.contains("warning: No checksum file was found for my file.bin"));
    if (!joined.isEmpty())
        QVERIFY(contents(joined) == data);
    else if (twist == "exists")
        QCOMPARE(contents(parts + "/my file.bin"), QByteArray("old"));
    else
        QVERIFY(!QFile::exists(parts + "/my file.bin"));
    QCOMPARE(QDir(parts).entryList({"*.joining*"}, QDir::Files), QStringList());

    // What sha256sum makes of the joined file beside its parts.
    if (joined == parts + "/my file.bin" && twist.isEmpty()) {
        const ProgramRun check =
            runProgram(QStandardPaths::findExecutable("sha256sum"), {"-c", "my file.bin.sha256"}, parts);
        QCOMPARE(check.status, 0);
        QCOMPARE(check.out.count(": OK"), 5);
    }
}

void tst_DarvoltJoin::rebuildsFromRecoveryData_data()
{
    QTest::addColumn<QStringList>("split"); // darvolt-split's options; "par2 create" makes the set by hand
    QTest::addColumn<QStringList>("harm");  // "delete N", "damage N", "truncate N", "plant N" (a file NAME.!0N.1 of before)
    QTest::addColumn<QStringList>("args");  // darvolt-join's; "par2 repair" repairs with par2 alone
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");      // in what it printed
    const QString p = "my file.bin.!0";
    const QStringList join{"@/my file.bin.!00"};
    const QStringList check{"--check", "@"};
    const QString rebuilt = "warning: Part my file.bin.!01 was missing or damaged and rebuilt from the recovery data in "
                            "my file.bin.par2";
    QTest::newRow("a part deleted") << QStringList{"--recovery", "10"} << QStringList{"delete 1"} << join << 0 << rebuilt;
    QTest::newRow("a part damaged") << QStringList{"--recovery", "10"} << QStringList{"damage 1", "plant 2"} << join << 0
                                    << "Part " + p + "1 was missing or damaged and rebuilt";
    QTest::newRow("the last truncated") << QStringList{"--recovery", "10"} << QStringList{"truncate 3"} << join << 0
                                        << "Part " + p + "3 was missing or damaged and rebuilt";
    QTest::newRow("deleted and damaged") << QStringList{"--recovery", "50"} << QStringList{"delete 1", "damage 2"} << join
                                         << 0 << "Parts " + p + "1 and " + p + "2 were missing or damaged and rebuilt";
    QTest::newRow("beyond repair") << QStringList{"--recovery", "10"} << QStringList{"delete 1", "damage 2"} << join << 4
                                   << "darvolt-join: The recovery data in my file.bin.par2 cannot rebuild the parts: " + p
                                          + "1 is missing, " + p + "2 is damaged; 1 more recovery block is needed";
    QTest::newRow("check, repairable") << QStringList{"--recovery", "10"} << QStringList{"delete 1"} << check << 3
                                       << "The recovery data in my file.bin.par2 can rebuild what is missing";
    QTest::newRow("check, beyond repair") << QStringList{"--recovery", "10"} << QStringList{"delete 0", "delete 3"}
                                          << check << 4 << p + "0 and " + p + "3 are missing; 1 more";
    QTest::newRow("check, no checksum file") << QStringList{"--recovery", "10", "--no-checksum"} << QStringList{}
                                             << check << 0 << "All 4 parts of my file.bin match the recovery data";
    QTest::newRow("no checksum file, damaged") << QStringList{"--recovery", "10", "--no-checksum"}
                                               << QStringList{"damage 2"} << join << 0
                                               << "checked against the recovery data in my file.bin.par2 only";
    QTest::newRow("par2 alone repairs") << QStringList{"--recovery", "10"} << QStringList{"delete 2"}
                                        << QStringList{"par2 repair"} << 0 << "Repair complete.";
    QTest::newRow("a set made with par2 create") << QStringList{"par2 create"} << QStringList{"delete 1"} << join << 0
                                                 << "rebuilt from the recovery data in by hand.par2";
    QTest::newRow("par2 create's set, a part damaged")
        << QStringList{"par2 create"} << QStringList{"damage 1", "plant 2"} << join << 0
        << "Part " + p + "1 was missing or damaged and rebuilt from the recovery data in by hand.par2";
}

void tst_DarvoltJoin::rebuildsFromRecoveryData()
{
    QFETCH(QStringList, split);
    QFETCH(QStringList, harm);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    const QString par2 = QStandardPaths::findExecutable("par2");
    if (par2.isEmpty())
        QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");
    QTemporaryDir dir;
    QByteArray data(3000 * 1024 + 77, Qt::Uninitialized);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 13 + i / 999);
    QFile source(dir.filePath("my file.bin"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
    source.close();
    const bool byHand = split == QStringList{"par2 create"};
    const ProgramRun made = runProgram(DARVOLT_SPLIT_PROGRAM, (byHand ? QStringList{} : split)
                                                                  << "--custom" << "1000" << "my file.bin", dir.path());
    QVERIFY2(made.status == 0, made.err.constData());
    const QString parts = dir.filePath("MY FILE_PARTS");
    QVERIFY(QFile::remove(dir.filePath("my file.bin")));
    if (byHand) // par2's own choice of blocks, enough of them for a part
        QCOMPARE(runProgram(par2, {"create", "-r40", "by hand.par2", "my file.bin.!00", "my file.bin.!01",
                                   "my file.bin.!02", "my file.bin.!03"}, parts).status, 0);

    for (const QString& step : harm) {
        const QString part = parts + "/my file.bin.!0" + step.back();
        QFile file(part);
        if (step.startsWith("plant"))
            QVERIFY(QFile::copy(part, part + ".1"));
        else if (step.startsWith("delete"))
            QVERIFY(file.remove());
        else if (step.startsWith("damage"))
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(700) && file.write("##") == 2);
        else
            QVERIFY(file.resize(file.size() / 2));
    }
    for (QString& arg : args)
        arg.replace("@", parts);
    const ProgramRun run = args == QStringList{"par2 repair"}
                               ? runProgram(par2, {"repair", "my file.bin.par2"}, parts)
                               : runProgram(DARVOLT_JOIN_PROGRAM, args, dir.path());
    QVERIFY2(run.status == status, (run.out + run.err).constData());
    QVERIFY2((run.out + run.err).contains(said.toUtf8()), (run.out + run.err).constData());
    if (args == QStringList{"par2 repair"}) { // the parts are whole again for every other tool
        const ProgramRun sums = runProgram(QStandardPaths::findExecutable("sha256sum"), {"-c", "my file.bin.sha256"}, parts);
        QCOMPARE(sums.out.count(": OK"), 4);
    } else if (!args.contains("--check")) {
        QCOMPARE(contents(parts + "/my file.bin") == data, status == 0);
        // par2's copies of the parts it rebuilt never reach the parts'
        // folder; whatever was there before stays. Joined by hand, the
        // parts give the file again.
        QStringList before;
        for (const QString& step : harm)
            if (step.startsWith("plant"))
                before << QString("my file.bin.!0") + step.back() + ".1";
        if (status == 0)
            QCOMPARE(QDir(parts).entryList({"*.1"}, QDir::Files), before);
    }
}

void tst_DarvoltJoin::progressStaysOnOneLineBetweenTheChecks_data()
{
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("screen"); // what both streams, one terminal, show
    const QString failed = "a.!01: FAILED\n"
                           "darvolt-join: error reading 'a.!02': Input/output error\n"
                           "darvolt-join: Part a.!02 cannot be read\n";
    QTest::newRow("terminal") << true << false
                              << "\rChecking: a.!00\x1b[K\rChecking: a.!00  25%\x1b[K\r\x1b[Ka.!00: OK\n"
                                 "\rChecking: a.!01  25%\x1b[K\rChecking: a.!01  75%\x1b[K\r\x1b[K"
                                 "a.!01: FAILED\n"
                                 "\rChecking: a.!02  75%\x1b[K\n" // an error leaves the line above it
                                 "darvolt-join: error reading 'a.!02': Input/output error\n"
                                 "darvolt-join: Part a.!02 cannot be read\n"
                                 "1 of 3 parts failed\n";
    QTest::newRow("terminal, quiet") << true << true << failed;
    QTest::newRow("not a terminal") << false << false << "a.!00: OK\n" + failed + "1 of 3 parts failed\n";
}

void tst_DarvoltJoin::progressStaysOnOneLineBetweenTheChecks()
{
    QFETCH(bool, terminal);
    QFETCH(bool, quiet);
    QFETCH(QString, screen);
    std::ostringstream shown;
    FakePlatform fake;
    FailureWatch watch(fake);
    {
        ConsoleJoinView view(shown, shown, terminal, quiet, &watch);
        view.setStatusText("Checking: a.!00");
        view.setProgress(1, 4);
        view.showCheck("a.!00: OK", true);
        view.setStatusText("Checking: a.!01");
        view.setProgress(3, 4);
        view.showCheck("a.!01: FAILED", false);
        view.setStatusText("Checking: a.!02");
        watch.note("error reading", "a.!02", error::DeviceError);
        view.showError("Part a.!02 cannot be read");
        view.showInformation("1 of 3 parts failed");
    }
    QCOMPARE(QString::fromStdString(shown.str()), screen);
}

QTEST_GUILESS_MAIN(tst_DarvoltJoin)
#include "tst_darvoltjoin.moc"
