#include "app/consolesplitcommand.h"
#include "app/consolesplitview.h"
#include "platform/fakeplatform.h"
#include "split/splittexts.h"
#include "support/programrun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

using namespace darvolt;
using Action = SplitCommand::Action;

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(SizeMode)

namespace {

struct Console {
    std::istringstream in;
    std::ostringstream out, err;
    explicit Console(const std::string& input = "") : in(input) {}
};

int run(FakePlatform& fake, Console& c, const std::vector<std::string>& args, bool terminal = false)
{
    ConsoleSplitView view(c.in, c.out, c.err, terminal);
    return RunSplitCommand(ParseSplitCommand(args), fake, view, c.out, c.err);
}

// A tmpfs mounted on a folder for one test, so that it is a drive with a
// medium in it; why says what kept it from being mounted.
struct TmpfsDrive {
    QByteArray where;
    QString why;
    explicit TmpfsDrive(const QString& folder) : where(QFile::encodeName(folder))
    {
        if (::geteuid() != 0)
            why = "mounting a medium on the drive folder needs root";
        else if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=1440k") != 0)
            why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TmpfsDrive()
    {
        if (why.isEmpty())
            ::umount2(where.constData(), MNT_DETACH);
    }
};

ProgramRun runProgram(const QStringList& args, const QByteArray& input = {}, const QString& drive = {},
                  const QString& workingDirectory = {})
{
    auto env = QProcessEnvironment::systemEnvironment();
    if (!drive.isEmpty())
        env.insert("DARVOLT_DRIVE_A", drive);
    return RunToEnd(DARVOLT_SPLIT_PROGRAM, args, input, env, workingDirectory);
}

} // namespace

class tst_DarvoltSplit : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void standardRunIsSilentAndSucceeds();
    void checksFailWithTheirTexts_data();
    void checksFailWithTheirTexts();
    void spannedRunAnswersPromptsFromInput_data();
    void spannedRunAnswersPromptsFromInput();
    void terminalShowsStatusAndPercentOnErrorStreamOnly();
    void mediaAreOfferedAsANumberedList_data();
    void mediaAreOfferedAsANumberedList();
    void programExitStatuses();
    void programSplitsARealFile_data();
    void programSplitsARealFile();
    void programSpansOntoTheDriveFolder();
    void programStopsOnSignalsAndFailsOnUnwritableOutput_data();
    void programStopsOnSignalsAndFailsOnUnwritableOutput();
};

void tst_DarvoltSplit::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<SizeMode>("mode");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("recovery");

    QTest::newRow("default") << QStringList{"f"} << Action::Split << SizeMode::StandardDiskette << "" << "f" << 0;
    QTest::newRow("standard") << QStringList{"--standard", "f"} << Action::Split << SizeMode::StandardDiskette << "" << "f" << 0;
    QTest::newRow("custom") << QStringList{"--custom", "$10", "f"} << Action::Split << SizeMode::CustomSize << "$10" << "f" << 0;
    QTest::newRow("custom=") << QStringList{"f", "--custom= 100"} << Action::Split << SizeMode::CustomSize << " 100" << "f" << 0;
    QTest::newRow("span") << QStringList{"--span", "f"} << Action::Split << SizeMode::SpanDiskettes << "" << "f" << 0;
    QTest::newRow("dash file after --") << QStringList{"--", "-f"} << Action::Split << SizeMode::StandardDiskette << "" << "-f" << 0;
    QTest::newRow("help wins") << QStringList{"--span", "--help"} << Action::Help << SizeMode::SpanDiskettes << "" << "" << 0;
    QTest::newRow("directory with span") << QStringList{"--span", "-d", "out", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("directory without a folder") << QStringList{"f", "--directory"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("version") << QStringList{"--version", "f"} << Action::Version << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("two modes") << QStringList{"--span", "--standard", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("custom without size") << QStringList{"f", "--custom"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("unknown option") << QStringList{"--fast", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("no file") << QStringList{"--span"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("recovery") << QStringList{"--recovery", "10", "f"} << Action::Split << SizeMode::StandardDiskette << "" << "f" << 10;
    QTest::newRow("recovery=, custom") << QStringList{"--custom", "9", "--recovery=100", "f"} << Action::Split << SizeMode::CustomSize << "9" << "f" << 100;
    QTest::newRow("recovery 0") << QStringList{"--recovery", "0", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("recovery 101") << QStringList{"--recovery=101", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("recovery of words") << QStringList{"--recovery", "ten", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
    QTest::newRow("recovery when spanning") << QStringList{"--span", "--recovery", "10", "f"} << Action::UsageError << SizeMode::StandardDiskette << "" << "span" << 0;
    QTest::newRow("two files") << QStringList{"a", "b"} << Action::UsageError << SizeMode::StandardDiskette << "" << "" << 0;
}

void tst_DarvoltSplit::parse()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(SizeMode, mode);
    QFETCH(QString, custom);
    QFETCH(QString, file);
    QFETCH(int, recovery);
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(a.toStdString());
    const SplitCommand c = ParseSplitCommand(list);
    QCOMPARE(c.action, action);
    if (action == Action::UsageError) {
        QVERIFY(!c.problem.empty());
        QVERIFY2(c.problem.find(file.toStdString()) != std::string::npos, c.problem.c_str());
        return;
    }
    if (action == Action::Split) {
        QCOMPARE(c.recoveryPercent, recovery);
        QCOMPARE(c.mode, mode);
        QCOMPARE(QString::fromStdString(c.customSize), custom);
        QCOMPARE(QString::fromStdString(c.file), file);
    }
}

void tst_DarvoltSplit::standardRunIsSilentAndSucceeds()
{
    FakePlatform fake;
    fake.addFile("/d/report.doc", std::string(3000000, 'r'));
    Console c;
    QCOMPARE(run(fake, c, {"/d/report.doc"}), ExitSuccess);
    QCOMPARE(c.out.str(), std::string());
    QCOMPARE(c.err.str(), std::string());
    QCOMPARE(fake.contents("/d/REPORT_PARTS/report.doc.!02").size(), std::size_t(84672));
    QVERIFY(fake.hasFile("/d/REPORT_PARTS/MERGE.BAT"));
    QVERIFY(fake.fileManagerLaunches().empty()); // never from the command line
}

void tst_DarvoltSplit::checksFailWithTheirTexts_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    QTest::newRow("missing") << QStringList{"/d/none.txt"} << ExitFailed << "File /D/NONE.TXT not found\n";
    QTest::newRow("in use") << QStringList{"/d/locked.bin"} << ExitFailed << "darvolt-split: /d/locked.bin: file in use\n";
    QTest::newRow("a folder") << QStringList{"/d/ro"} << ExitFailed << "darvolt-split: /d/ro: is a folder, not a file\n";
    QTest::newRow("a FIFO") << QStringList{"/d/fifo"} << ExitFailed << "darvolt-split: /d/fifo: is not a regular file\n";
    QTest::newRow("too large") << QStringList{"/d/small.bin"} << ExitFailed
                               << QString::fromStdString(std::string(texts::SizeTooLarge) + "\n");
    QTest::newRow("empty file, any mode") << QStringList{"--span", "/d/empty"} << ExitFailed
                                          << QString::fromStdString(std::string(texts::SizeTooLarge) + "\n");
    QTest::newRow("custom rejected") << QStringList{"--custom", "100 ", "/d/small.bin"} << ExitFailed
                                     << "darvolt-split: --custom takes a whole number of KB above 0, in decimal or as $ "
                                        "and hexadecimal digits, not '100 '\n";
    QTest::newRow("usage") << QStringList{"--bogus"} << ExitUsage
                           << "darvolt-split: unknown option --bogus\nTry 'darvolt-split --help' for more information.\n";
    QTest::newRow("run fails") << QStringList{"--custom", "1", "/d/ro/x.bin"} << ExitFailed
                               << "The output directory cannot be created. Splitting file canceled\n";
}

void tst_DarvoltSplit::checksFailWithTheirTexts()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, err);
    FakePlatform fake;
    fake.addFile("/d/locked.bin", "x");
    fake.setLocked("/d/locked.bin");
    fake.addFile("/d/small.bin", std::string(5000, 's'));
    fake.addFile("/d/empty", "");
    fake.addSpecialFile("/d/fifo");
    fake.addFile("/d/ro/x.bin", std::string(5000, 'x'));
    fake.addFile("/d/ro/X_PARTS", "a file in the way");
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(a.toStdString());
    Console c;
    QCOMPARE(run(fake, c, list), status);
    QCOMPARE(QString::fromStdString(c.err.str()), err);
    QCOMPARE(c.out.str(), std::string());
}

void tst_DarvoltSplit::spannedRunAnswersPromptsFromInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("prompts");
    QTest::newRow("Enter twice") << QByteArray("\n\n") << ExitSuccess << 2;
    QTest::newRow("yes and y are OK") << QByteArray("Yes\ny\n") << ExitSuccess << 2;
    QTest::newRow("anything else asks again") << QByteArray("ok\n\nmaybe\n y \n") << ExitSuccess << 2;
    QTest::newRow("no at the second") << QByteArray("\nno\n") << ExitCancelled << 2;
    QTest::newRow("c at the second") << QByteArray("\nc\n") << ExitCancelled << 2;
    QTest::newRow("C at the first") << QByteArray("C\n") << ExitCancelled << 1;
    QTest::newRow("end of input") << QByteArray("\n") << ExitCancelled << 2;
    QTest::newRow("no input at all") << QByteArray() << ExitCancelled << 1;
}

void tst_DarvoltSplit::spannedRunAnswersPromptsFromInput()
{
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(int, prompts);
    FakePlatform fake;
    fake.addFile("/d/report.doc", std::string(2000000, 'r'));
    fake.insertMedia({FakePlatform::Medium{}});
    Console c(input.toStdString());
    // The fake's single medium stays in the drive; its space frees up when
    // the first part is taken away, as if the user had swapped diskettes.
    ConsoleSplitView view(c.in, c.out, c.err, false);
    struct Swapping final : SplitView {
        SplitView& inner;
        FakePlatform& fake;
        Swapping(SplitView& v, FakePlatform& f) : inner(v), fake(f) {}
        void setProgressMaximum(std::int64_t kb) override { inner.setProgressMaximum(kb); }
        void setProgressPosition(std::int64_t kb) override { inner.setProgressPosition(kb); }
        void setProgressStep(std::int64_t kb) override { inner.setProgressStep(kb); }
        void stepProgress() override { inner.stepProgress(); }
        void setStatusText(const std::string& t) override { inner.setStatusText(t); }
        void showError(const std::string& t) override { inner.showError(t); }
        void showInformation(const std::string& t) override { inner.showInformation(t); }
        void showMessage(const std::string& t) override { inner.showMessage(t); }
        bool askForDiskette(const std::string& t) override
        {
            const bool ok = inner.askForDiskette(t);
            if (ok)
                fake.removeFile("/A/report.doc.!00");
            return ok;
        }
        std::optional<std::size_t> chooseMedium(const std::string& t, const std::vector<RemovableMedium>& m) override
        {
            return inner.chooseMedium(t, m);
        }
        bool askRetry(const std::string& t) override { return inner.askRetry(t); }
        void showNote(const std::string& t) override { inner.showNote(t); }
        void processPendingMessages() override {}
    } swapping(view, fake);
    const int result = RunSplitCommand(ParseSplitCommand({"--span", "/d/report.doc"}), fake, swapping, c.out, c.err);
    QCOMPARE(result, status);
    const std::string err = c.err.str();
    int seen = 0;
    for (auto at = err.find("Insert diskette number"); at != std::string::npos; at = err.find("Insert diskette number", at + 1))
        ++seen;
    QCOMPARE(seen, prompts);
    QVERIFY(err.find(texts::diskettePrompt(1) + "\n[Enter or y: OK, n or c: Cancel] ") != std::string::npos);
    if (status == ExitSuccess)
        QCOMPARE(c.out.str(), texts::spanned("report.doc", true) + "\n");
    else
        QCOMPARE(c.out.str(), std::string());
}

void tst_DarvoltSplit::mediaAreOfferedAsANumberedList_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("chosen"); // -1: none
    QTest::addColumn<int>("retry");  // the retry question's answer to the same input: 1 try again, 0 go on
    QTest::newRow("a number") << QByteArray("2\n") << 1 << -1;
    QTest::newRow("asked again until a number fits") << QByteArray("3\nx\n\n 1 \n") << 0 << -1;
    QTest::newRow("n for none") << QByteArray("n\n") << -1 << 0;
    QTest::newRow("end of input") << QByteArray("") << -1 << 0;
    QTest::newRow("Enter tries again") << QByteArray("\n") << -1 << 1;
}

void tst_DarvoltSplit::mediaAreOfferedAsANumberedList()
{
    QFETCH(QByteArray, input);
    QFETCH(int, chosen);
    QFETCH(int, retry);
    RemovableMedium card{"/c", "CARD", "/dev/sdc1", "/media/ann/CARD", 2'000'000'000, false};
    RemovableMedium stick{"/s", "", "/dev/sdd1", "", 1'457'664, true};
    Console c(input.toStdString());
    ConsoleSplitView view(c.in, c.out, c.err, false);
    if (chosen >= 0 || retry < 0) {
        const auto answer = view.chooseMedium(texts::chooseMedium(2), {card, stick});
        QCOMPARE(answer ? int(*answer) : -1, chosen);
        QVERIFY(c.err.str().starts_with(texts::chooseMedium(2) + "\n  1) CARD  1.8 GB  /media/ann/CARD\n"
                                        "  2) (no label)  1.3 MB  /dev/sdd1 (not mounted yet)\n[1 to 2: that medium, n: none] "));
    }
    if (retry >= 0) {
        Console again(input.toStdString());
        ConsoleSplitView asking(again.in, again.out, again.err, false);
        QCOMPARE(int(asking.askRetry("busy")), retry);
        QVERIFY(again.err.str().starts_with("busy\n[Enter or y: try again, n: go on] "));
    }
    view.showNote(texts::mediumRemovable("CARD"));
    QVERIFY(c.err.str().ends_with("The medium CARD can be removed now\n"));
}

void tst_DarvoltSplit::terminalShowsStatusAndPercentOnErrorStreamOnly()
{
    QCOMPARE(ConsoleSplitView::statusLine("Writing: a.!00", 50, 200), std::string("Writing: a.!00  25%"));
    QCOMPARE(ConsoleSplitView::statusLine("Writing: a.!00", 5, 0), std::string("Writing: a.!00"));
    QCOMPARE(ConsoleSplitView::statusLine("Writing: a.!00", 300, 200), std::string("Writing: a.!00  100%"));

    FakePlatform fake;
    fake.addFile("/d/a.bin", std::string(5000, 'a'));
    Console quiet;
    QCOMPARE(run(fake, quiet, {"--custom", "1", "/d/a.bin"}, false), ExitSuccess);
    QCOMPARE(quiet.err.str(), std::string());

    FakePlatform again;
    again.addFile("/d/a.bin", std::string(5000, 'a'));
    Console tty;
    QCOMPARE(run(again, tty, {"--custom", "1", "/d/a.bin"}, true), ExitSuccess);
    const std::string err = tty.err.str();
    QVERIFY(err.find("\rWriting: a.bin.!00  0%\x1b[K") != std::string::npos);
    QVERIFY(err.find("\rWriting: a.bin.!02  50%\x1b[K") != std::string::npos);
    QVERIFY(err.ends_with("\n")); // the line is finished when the run ends
    QCOMPARE(tty.out.str(), std::string());
}

void tst_DarvoltSplit::programExitStatuses()
{
    const ProgramRun help = runProgram({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("Exit status: 0 success, 1 the run or its checks failed"));
    QVERIFY(help.out.contains("--custom KB"));
    const ProgramRun version = runProgram({"--version"});
    QCOMPARE(version.status, 0);
    QVERIFY(version.out.startsWith("darvolt-split (Darvolt) "));
    QCOMPARE(runProgram({}).status, 2);
    QCOMPARE(runProgram({"--standard", "--span", "x"}).status, 2);
    const ProgramRun missing = runProgram({"/nonexistent/file.bin"});
    QCOMPARE(missing.status, 1);
    // The root file system tells cases apart: the path is named as it is.
    QCOMPARE(missing.err, QByteArray("File /nonexistent/file.bin not found\n"));
}

void tst_DarvoltSplit::programSplitsARealFile_data()
{
    QTest::addColumn<QStringList>("where");  // the options that choose the folder
    QTest::addColumn<QString>("folder");
    QTest::newRow("beside the file") << QStringList{} << "DATA_PARTS";
    QTest::newRow("-d, made") << QStringList{"-d", "out"} << "out";
    QTest::newRow("--directory=, existing, with a slash") << QStringList{"--directory=sub/"} << "sub";
}

void tst_DarvoltSplit::programSplitsARealFile()
{
    QFETCH(QStringList, where);
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QByteArray data(40000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 251);
    {
        QFile f(dir.filePath("data.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    const ProgramRun r = runProgram(QStringList{"--custom", "$10"} + where + QStringList{"data.bin"}, {}, {}, dir.path());
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QByteArray());
    QByteArray joined;
    for (const char* part : {"data.bin.!00", "data.bin.!01", "data.bin.!02"}) {
        QFile f(dir.filePath(folder + "/" + part));
        QVERIFY(f.open(QIODevice::ReadOnly));
        joined += f.readAll();
    }
    QCOMPARE(joined, data);
    for (const char* file : {"MERGE.BAT", "merge.sh", "data.bin.sha256"})
        QVERIFY(QFile::exists(dir.filePath(folder + "/" + file)));
    QCOMPARE(QFile::exists(dir.filePath("DATA_PARTS")), folder == "DATA_PARTS");
}

void tst_DarvoltSplit::programSpansOntoTheDriveFolder()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("floppy"));
    {
        QFile f(dir.filePath("a.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'a'));
    }
    const QString drive = dir.filePath("floppy");
    const ProgramRun cancelled = runProgram({"--span", dir.filePath("a.txt")}, {}, drive);
    QCOMPARE(cancelled.status, 3);
    QVERIFY(QDir(drive).isEmpty());
    // A folder with nothing mounted on it is an empty drive: the parts never
    // land on the disk beneath it.
    const ProgramRun unmounted = runProgram({"--span", dir.filePath("a.txt")}, "\n", drive);
    QCOMPARE(unmounted.status, 3);
    QVERIFY(unmounted.err.contains(QByteArray(texts::NotReady.data()) + "\n"));
    QVERIFY(QDir(drive).isEmpty());

    const TmpfsDrive medium(drive);
    if (!medium.why.isEmpty())
        QSKIP(qPrintable(medium.why));
    const ProgramRun ok = runProgram({"--span", dir.filePath("a.txt")}, "\n", drive);
    QCOMPARE(ok.status, 0);
    QCOMPARE(ok.out, QByteArray("File a.txt spanned. MERGE.BAT placed on the last diskette\n"));
    QVERIFY(ok.err.contains("       Insert diskette number 1 into the drive        \n"));
    QCOMPARE(QFileInfo(drive + "/a.txt.!00").size(), qint64(3000));
    QVERIFY(QFile::exists(drive + "/MERGE.BAT"));
}

void tst_DarvoltSplit::programStopsOnSignalsAndFailsOnUnwritableOutput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("signal"); // sent while the first diskette prompt waits; 0: answered
    QTest::addColumn<bool>("outputFull");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("Ctrl-C at the prompt") << QStringList{"--span"} << int(SIGINT) << false << 130
                                          << QByteArray(texts::Interrupted.data());
    QTest::newRow("SIGTERM at the prompt") << QStringList{"--span"} << int(SIGTERM) << false << 143
                                           << QByteArray(texts::Interrupted.data());
    QTest::newRow("closing message to a full disk") << QStringList{"--span"} << 0 << true << 1
                                                    << QByteArray("standard output could not be written");
    QTest::newRow("help to a full disk") << QStringList{"--help"} << 0 << true << 1
                                         << QByteArray("standard output could not be written");
}

void tst_DarvoltSplit::programStopsOnSignalsAndFailsOnUnwritableOutput()
{
    QFETCH(QStringList, args);
    QFETCH(int, signal);
    QFETCH(bool, outputFull);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("floppy"));
    const TmpfsDrive medium(dir.filePath("floppy"));
    if (signal == 0 && !medium.why.isEmpty())
        QSKIP(qPrintable(medium.why));
    QFile source(dir.filePath("a.txt"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(QByteArray(3000, 'a')) == 3000);
    source.close();

    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("DARVOLT_DRIVE_A", dir.filePath("floppy"));
    p.setProcessEnvironment(env);
    if (outputFull)
        p.setStandardOutputFile("/dev/full");
    p.setReadChannel(QProcess::StandardError);
    p.start(DARVOLT_SPLIT_PROGRAM, args << dir.filePath("a.txt"));
    QVERIFY(p.waitForStarted());
    QByteArray err;
    if (args.contains("--span")) {
        while (!err.contains("Insert diskette number 1") && p.waitForReadyRead(60000))
            err += p.readAllStandardError();
        if (signal != 0)
            ::kill(pid_t(p.processId()), signal);
        else
            p.write("\n");
    }
    QVERIFY(p.waitForFinished(60000));
    err += p.readAllStandardError();
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), status);
    QVERIFY2(err.contains(said), err.constData());
    // Interrupted before anything was written: the drive stays empty.
    if (signal != 0)
        QVERIFY(QDir(dir.filePath("floppy")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_DarvoltSplit)
#include "tst_darvoltsplit.moc"
