#include "app/consolesplitcommand.h"
#include "app/consolesplitview.h"
#include "app/failurewatch.h"
#include "parts/partnaming.h"
#include "platform/fakeplatform.h"
#include "split/splittexts.h"
#include "support/programrun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
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

// As the program runs: through a FailureWatch; `terminal` for both streams.
int run(FakePlatform& fake, Console& c, const std::vector<std::string>& args, bool terminal = false)
{
    const SplitCommand command = ParseSplitCommand(args);
    FailureWatch watch(fake);
    ConsoleSplitView view(c.in, c.out, c.err, terminal && !command.quiet, {}, &watch);
    return RunSplitCommand(command, watch, view, c.out, c.err, {nullptr, terminal});
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

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

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
    void bytesAndNumberCutASmallFileIntoFewerParts_data();
    void bytesAndNumberCutASmallFileIntoFewerParts();
    void spannedRunAnswersPromptsFromInput_data();
    void spannedRunAnswersPromptsFromInput();
    void terminalShowsProgressAndClosingLine_data();
    void terminalShowsProgressAndClosingLine();
    void mediaAreOfferedAsANumberedList_data();
    void mediaAreOfferedAsANumberedList();
    void programExitStatuses();
    void programSplitsARealFile_data();
    void programSplitsARealFile();
    void programRefusesAFolderOfAnotherSet_data();
    void programRefusesAFolderOfAnotherSet();
    void programSpansOntoTheDriveFolder();
    void programStopsOnSignalsAndFailsOnUnwritableOutput_data();
    void programStopsOnSignalsAndFailsOnUnwritableOutput();
};

void tst_DarvoltSplit::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<SizeMode>("mode");
    QTest::addColumn<qint64>("partSize");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<int>("recovery");
    QTest::addColumn<QString>("fileOrProblem"); // the file, or for a usage error the whole problem

    const auto split = [](const char* name, const QStringList& args, SizeMode mode, qint64 size, qint64 count = 0,
                          int recovery = 0, const QString& file = "f") {
        QTest::newRow(name) << args << Action::Split << mode << size << count << recovery << file;
    };
    const auto refused = [](const char* name, const QStringList& args, const QString& problem) {
        QTest::newRow(name) << args << Action::UsageError << SizeMode::StandardDiskette << qint64(0) << qint64(0) << 0
                            << problem;
    };
    const auto standard = SizeMode::StandardDiskette;
    const auto custom = SizeMode::CustomSize;
    split("default", {"f"}, standard, StandardPartSize);
    split("-s", {"-s", "f"}, standard, StandardPartSize);
    split("--custom $10", {"--custom", "$10", "f"}, custom, 16384);
    split("-c, after the file", {"f", "-c", "9"}, custom, 9216);
    split("--custom= 100, as the window reads it", {"f", "--custom= 100"}, custom, 102400);
    split("--cust, an abbreviation", {"--cust=2", "f"}, custom, 2048);
    split("-b bytes", {"-b", "700", "f"}, custom, 700);
    split("-b10M attached", {"-b10M", "f"}, custom, 10485760);
    split("--bytes=1440K", {"--bytes=1440K", "f"}, custom, 1474560);
    split("KB is 1000", {"-b", "25KB", "f"}, custom, 25000);
    split("MiB is M", {"-b", "3MiB", "f"}, custom, 3145728);
    split("GB", {"-b", "4GB", "f"}, custom, 4000000000);
    split("a small m, as 7z writes it", {"-b", "25m", "f"}, custom, 26214400);
    split("-n", {"-n", "3", "f"}, custom, StandardPartSize, 3);
    split("--number=", {"--number=12", "f"}, custom, StandardPartSize, 12);
    split("--sp is --span", {"--sp", "f"}, SizeMode::SpanDiskettes, 0);
    split("the last size wins when repeated", {"-b", "1K", "-b", "2K", "f"}, custom, 2048);
    split("-qs clustered", {"-qs", "f"}, standard, StandardPartSize);
    split("-r", {"-r", "10", "f"}, standard, StandardPartSize, 0, 10);
    split("--recovery=, custom", {"--custom", "9", "--recovery=100", "f"}, custom, 9216, 0, 100);
    split("dash file after --", {"--", "-f"}, standard, StandardPartSize, 0, 0, "-f");
    split("a lone dash is a file", {"-"}, standard, StandardPartSize, 0, 0, "-");
    QTest::newRow("help wins") << QStringList{"--span", "--help"} << Action::Help << standard << qint64(0)
                               << qint64(0) << 0 << "";
    QTest::newRow("help before a wrong option") << QStringList{"-h", "--bogus"} << Action::Help << standard
                                                << qint64(0) << qint64(0) << 0 << "";
    QTest::newRow("version") << QStringList{"--vers", "f"} << Action::Version << standard << qint64(0)
                             << qint64(0) << 0 << "";

    refused("unknown long option", {"--fast", "f"}, "unrecognized option '--fast'");
    refused("unknown long option with a value", {"--fast=1", "f"}, "unrecognized option '--fast'");
    refused("unknown short option", {"-x", "f"}, "invalid option -- 'x'");
    refused("unknown short option in a cluster", {"-xq", "f"}, "invalid option -- 'x'");
    refused("ambiguous", {"--s", "f"}, "option '--s' is ambiguous; possibilities: '--standard' '--span'");
    refused("ambiguous with a value", {"--n=3", "f"},
            "option '--n' is ambiguous; possibilities: '--number' '--no-checksum'");
    refused("value where none goes", {"--flush=yes", "f"}, "option '--flush' doesn't allow an argument");
    refused("long option without its value", {"f", "--custom"}, "option '--custom' requires an argument");
    refused("short option without its value", {"f", "-b"}, "option requires an argument -- 'b'");
    refused("directory with span", {"--span", "-d", "out", "f"},
            "--directory works in folder mode only: spanned parts go onto the media");
    refused("directory empty", {"-d", "", "f"}, "--directory needs a folder");
    refused("two modes", {"--span", "--standard", "f"},
            "choose one of --standard, --custom, --bytes, --number and --span");
    refused("bytes and number", {"-b", "1M", "-n", "3", "f"},
            "choose one of --standard, --custom, --bytes, --number and --span");
    refused("custom with a blank after", {"--custom", "100 ", "f"},
            "--custom takes a whole number of KB above 0, in decimal or as $ and hexadecimal digits, not '100 '");
    const QString bytes = "--bytes takes a size in bytes, such as 700K, 25M or 4G (K, M, G: 1024, 1024^2, 1024^3; "
                          "KB, MB, GB: 1000, ...), not '%1'";
    refused("bytes 0", {"-b", "0", "f"}, bytes.arg("0"));
    refused("bytes, a fraction", {"-b", "1.5M", "f"}, bytes.arg("1.5M"));
    refused("bytes, negative", {"-b", "-5", "f"}, bytes.arg("-5"));
    refused("bytes, an unknown unit", {"-b", "10X", "f"}, bytes.arg("10X"));
    refused("bytes, B alone", {"-b", "10B", "f"}, bytes.arg("10B"));
    refused("bytes, beyond 64 bits", {"-b", "9000000T", "f"}, bytes.arg("9000000T"));
    refused("bytes, more after the unit", {"-b", "10Kx", "f"}, bytes.arg("10Kx"));
    const QString number = "--number takes a whole number of parts from 2 to 100000, not '%1'";
    refused("one part", {"-n", "1", "f"}, number.arg("1"));
    refused("parts in words", {"-n", "three", "f"}, number.arg("three"));
    refused("more parts than a join takes", {"-n", "100001", "f"}, number.arg("100001"));
    const QString dashD = "--directory (-d) takes a folder, not '%1'; Darvolt numbers its parts always (FILE.!00, "
                          "FILE.!01, ...), so GNU split's -d is not needed. A folder whose name begins with '-' is "
                          "written ./%1";
    refused("-d before another option, as GNU split's -d", {"-d", "-b", "1M", "f"}, dashD.arg("-b"));
    refused("--directory= with a dash", {"--directory=-out", "f"}, dashD.arg("-out"));
    split("-d ./ before a dash", {"-d", "./-out", "-b", "1M", "f"}, custom, 1048576);
    refused("no file", {"--span"}, "no file named");
    refused("two files", {"a", "b"}, "one file at a time");
    refused("recovery 0", {"--recovery", "0", "f"}, "--recovery takes a whole percentage from 1 to 100, not '0'");
    refused("recovery 101", {"--recovery=101", "f"}, "--recovery takes a whole percentage from 1 to 100, not '101'");
    refused("recovery when spanning", {"--span", "-r", "10", "f"},
            "--recovery works in folder mode only: spanned media get no recovery data");
}

void tst_DarvoltSplit::parse()
{
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(SizeMode, mode);
    QFETCH(qint64, partSize);
    QFETCH(qint64, count);
    QFETCH(int, recovery);
    QFETCH(QString, fileOrProblem);
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(a.toStdString());
    const SplitCommand c = ParseSplitCommand(list);
    QCOMPARE(c.action, action);
    if (action == Action::UsageError)
        QCOMPARE(QString::fromStdString(c.problem), fileOrProblem);
    if (action != Action::Split)
        return;
    QCOMPARE(c.mode, mode);
    QCOMPARE(c.partSize, partSize);
    QCOMPARE(c.partCount, count);
    QCOMPARE(c.recoveryPercent, recovery);
    QCOMPARE(c.quiet, args.contains("-qs"));
    QCOMPARE(QString::fromStdString(c.file), fileOrProblem);
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
    QTest::addColumn<QString>("fault"); // "mkdir" or "write": that call fails
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    const QString usage = "\nTry 'darvolt-split --help' for more information.\n";
    const QString tooLarge = "darvolt-split: " + QString::fromStdString(std::string(texts::SizeTooLarge)) + "\n";
    QTest::newRow("missing") << QStringList{"/d/none.txt"} << "" << ExitFailed
                             << "darvolt-split: cannot open '/d/none.txt': No such file or directory\n";
    QTest::newRow("in use") << QStringList{"/d/locked.bin"} << "" << ExitFailed
                            << "darvolt-split: cannot open '/d/locked.bin': Device or resource busy\n";
    QTest::newRow("a folder") << QStringList{"/d/ro"} << "" << ExitFailed
                              << "darvolt-split: cannot split '/d/ro': it is a folder\n";
    QTest::newRow("a FIFO") << QStringList{"/d/fifo"} << "" << ExitFailed
                            << "darvolt-split: cannot split '/d/fifo': it is not a regular file\n";
    QTest::newRow("too large") << QStringList{"/d/small.bin"} << "" << ExitFailed << tooLarge;
    QTest::newRow("too large, in KB") << QStringList{"-c", "5", "/d/small.bin"} << "" << ExitFailed << tooLarge;
    QTest::newRow("empty file, spanned") << QStringList{"--span", "/d/empty"} << "" << ExitFailed << tooLarge;
    QTest::newRow("empty file, standard") << QStringList{"/d/empty"} << "" << ExitFailed << tooLarge;
    QTest::newRow("more parts than a join takes") << QStringList{"-b", "1", "/d/many"} << "" << ExitFailed
                                                  << "darvolt-split: This split would make 100006 parts, and a set of "
                                                     "more than 100000 parts cannot be joined again. Choose larger "
                                                     "parts. Splitting file canceled\n";
    // Not a failure: the parts are there, and the other ways to join them.
    QTest::newRow("a name MERGE.BAT cannot join") << QStringList{"-c", "1", "/d/\u65e5\u672c.bin"} << "" << ExitSuccess
                                                  << "darvolt-split: MERGE.BAT cannot join the parts of \u65e5\u672c.bin: "
                                                     "the Windows command interpreter cannot read every character of "
                                                     "that name. Join them with darvolt-join or merge.sh.\n";
    QTest::newRow("parts of a file of unknown size") << QStringList{"-n", "3", "/d/unknown"} << "" << ExitFailed
                                                     << "darvolt-split: cannot cut '/d/unknown' into 3 parts: its size "
                                                        "cannot be read\n";
    QTest::newRow("custom rejected") << QStringList{"--custom", "100 ", "/d/small.bin"} << "" << ExitUsage
                                     << "darvolt-split: --custom takes a whole number of KB above 0, in decimal or as $ "
                                        "and hexadecimal digits, not '100 '" + usage;
    QTest::newRow("usage") << QStringList{"--bogus"} << "" << ExitUsage
                           << "darvolt-split: unrecognized option '--bogus'" + usage;
    QTest::newRow("a file in the folder's way") << QStringList{"--custom", "1", "/d/ro/x.bin"} << "" << ExitFailed
                                                << "darvolt-split: The output directory cannot be created. Splitting "
                                                   "file canceled\n";
    QTest::newRow("the folder cannot be made") << QStringList{"-b", "2K", "/d/small.bin"} << "mkdir" << ExitFailed
                                               << "darvolt-split: cannot create folder '/d/SMALL_PARTS': Permission "
                                                  "denied\ndarvolt-split: The output directory cannot be created. "
                                                  "Splitting file canceled\n";
    // An exception from the engine's threads (a digest or the recovery
    // arithmetic out of memory) fails the run in words.
    QTest::newRow("the engine throws") << QStringList{"-b", "2K", "/d/small.bin"} << "throw" << ExitFailed
                                       << "darvolt-split: the split failed: std::bad_alloc\n";
    QTest::newRow("the disk fills up") << QStringList{"-b", "2K", "/d/small.bin"} << "write" << ExitFailed
                                       << "darvolt-split: error writing '/d/SMALL_PARTS/small.bin.!01': No space left "
                                          "on device\ndarvolt-split: Error writing file. Split execution failed.\n";
}

void tst_DarvoltSplit::checksFailWithTheirTexts()
{
    QFETCH(QStringList, args);
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(QString, err);
    FakePlatform fake;
    fake.addFile("/d/locked.bin", "x");
    fake.setLocked("/d/locked.bin");
    fake.addFile("/d/small.bin", std::string(5000, 's'));
    fake.addFile("/d/many", std::string(100005, 'm'));
    fake.addFile("/d/\xe6\x97\xa5\xe6\x9c\xac.bin", std::string(3000, 'j'));
    fake.addFile("/d/unknown", std::string(90, 'u'));
    fake.setSizeUnknown("/d/unknown");
    fake.addFile("/d/empty", "");
    fake.addSpecialFile("/d/fifo");
    fake.addFile("/d/ro/x.bin", std::string(5000, 'x'));
    fake.addFile("/d/ro/X_PARTS", "a file in the way");
    if (fault == "mkdir")
        fake.failCall(FakePlatform::Operation::MakeDirectory, 1, error::AccessDenied);
    else if (fault == "write")
        fake.failFileCall("/d/SMALL_PARTS/small.bin.!01", FakePlatform::Operation::Write, 1, error::DiskFull);
    else if (fault == "throw")
        fake.setCallHook([](FakePlatform::Operation op, const std::string& path) {
            if (op == FakePlatform::Operation::Write && path.ends_with(".!01"))
                throw std::bad_alloc();
        });
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(a.toStdString());
    Console c;
    QCOMPARE(run(fake, c, list), status);
    QCOMPARE(QString::fromStdString(c.err.str()), err);
    QCOMPARE(c.out.str(), std::string());
}

// As GNU split takes -b and -n: a file not larger than a part is one part,
// never refused and never followed by an empty one; a file too small for
// the parts asked for gives as many as can each hold some of it.
void tst_DarvoltSplit::bytesAndNumberCutASmallFileIntoFewerParts_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<qint64>>("parts");
    QTest::addColumn<QString>("err");
    const QString fewer = "darvolt-split: '/d/s.bin' has %1 bytes, too few for %2 parts that each hold some of it; %3\n";
    QTest::newRow("-b larger than the file") << QStringList{"-b", "25M"} << qint64(3500000) << QList<qint64>{3500000}
                                             << "";
    QTest::newRow("-b of the file's size") << QStringList{"-b", "5000"} << qint64(5000) << QList<qint64>{5000} << "";
    QTest::newRow("-b of an empty file") << QStringList{"--bytes=1K"} << qint64(0) << QList<qint64>{0} << "";
    QTest::newRow("-b one byte smaller") << QStringList{"-b", "4999"} << qint64(5000) << QList<qint64>{4999, 1} << "";
    QTest::newRow("-n, too few bytes for them all") << QStringList{"-n", "10"} << qint64(90)
                                                    << QList<qint64>{11, 11, 11, 11, 11, 11, 11, 11, 2}
                                                    << fewer.arg("90", "10", "it is cut into 9");
    QTest::newRow("-n of one byte") << QStringList{"-n", "2"} << qint64(1) << QList<qint64>{1}
                                    << fewer.arg("1", "2", "it makes one part");
    QTest::newRow("-n of an empty file") << QStringList{"-n", "4"} << qint64(0) << QList<qint64>{0}
                                         << fewer.arg("0", "4", "it makes one part");
    QTest::newRow("-n enough bytes") << QStringList{"-n", "2"} << qint64(3) << QList<qint64>{2, 1} << "";
}

void tst_DarvoltSplit::bytesAndNumberCutASmallFileIntoFewerParts()
{
    QFETCH(QStringList, args);
    QFETCH(qint64, size);
    QFETCH(QList<qint64>, parts);
    QFETCH(QString, err);
    FakePlatform fake;
    fake.addFile("/d/s.bin", std::string(std::size_t(size), 's'));
    std::vector<std::string> list{"/d/s.bin"};
    for (const auto& a : args)
        list.push_back(a.toStdString());
    Console c;
    QCOMPARE(run(fake, c, list), ExitSuccess);
    QCOMPARE(QString::fromStdString(c.err.str()), err);
    for (int i = 0; i < parts.size(); ++i)
        QCOMPARE(qint64(fake.contents("/d/S_PARTS/" + BarePartName("s.bin", i)).size()), parts[i]);
    QVERIFY(!fake.hasFile("/d/S_PARTS/" + BarePartName("s.bin", parts.size())));
    for (const char* file : {"MERGE.BAT", "merge.sh", "s.bin.sha256"})
        QVERIFY2(fake.hasFile(std::string("/d/S_PARTS/") + file), file);
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
    QVERIFY(err.find("darvolt-split: Insert diskette number 1 into the drive\n[Enter or y: OK, n or c: Cancel] ")
            != std::string::npos);
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
        QVERIFY(c.err.str().starts_with("darvolt-split: " + ConsoleLine(texts::chooseMedium(2))
                                        + "\n  1) CARD  1.8 GB  /media/ann/CARD\n"
                                        "  2) (no label)  1.3 MB  /dev/sdd1 (not mounted yet)\n[1 to 2: that medium, n: none] "));
    }
    if (retry >= 0) {
        Console again(input.toStdString());
        ConsoleSplitView asking(again.in, again.out, again.err, false);
        QCOMPARE(int(asking.askRetry("busy")), retry);
        QVERIFY(again.err.str().starts_with("darvolt-split: busy\n[Enter or y: try again, n: go on] "));
    }
    view.showNote(texts::mediumRemovable("CARD"));
    QVERIFY(c.err.str().ends_with("darvolt-split: The medium CARD can be removed now\n"));
}

void tst_DarvoltSplit::terminalShowsProgressAndClosingLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QStringList>("drawn"); // on the error stream, in this order
    QTest::addColumn<QString>("out");
    const QStringList none;
    QTest::newRow("not a terminal: silent") << QStringList{"--custom", "1", "/d/a.bin"} << false << none << "";
    QTest::newRow("terminal") << QStringList{"--custom", "1", "/d/a.bin"} << true
                              << QStringList{"\rWriting: a.bin.!00  0%\x1b[K", "\rWriting: a.bin.!02  50%\x1b[K",
                                             "\r\x1b[K"}
                              << "Split a.bin into 5 parts in /d/A_PARTS\n";
    QTest::newRow("terminal, -n") << QStringList{"-n", "2", "-d", "/out", "/d/a.bin"} << true
                                  << QStringList{"\rWriting: a.bin.!01  50%\x1b[K", "\r\x1b[K"}
                                  << "Split a.bin into 2 parts in /out\n";
    QTest::newRow("terminal, quiet") << QStringList{"-q", "--custom", "1", "/d/a.bin"} << true << none << "";
}

void tst_DarvoltSplit::terminalShowsProgressAndClosingLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, terminal);
    QFETCH(QStringList, drawn);
    QFETCH(QString, out);
    QCOMPARE(ConsoleSplitView::statusLine("Writing: a.!00", 5, 0), std::string("Writing: a.!00"));
    QCOMPARE(ConsoleSplitView::statusLine("Writing: a.!00", 300, 200), std::string("Writing: a.!00  100%"));

    FakePlatform fake;
    fake.addFile("/d/a.bin", std::string(5000, 'a'));
    std::vector<std::string> list;
    for (const auto& a : args)
        list.push_back(a.toStdString());
    Console c;
    QCOMPARE(run(fake, c, list, terminal), ExitSuccess);
    const QString err = QString::fromStdString(c.err.str());
    qsizetype at = 0;
    for (const QString& line : drawn) {
        at = err.indexOf(line, at);
        QVERIFY2(at >= 0, qPrintable(line));
    }
    // The line is taken away at the end, before the closing line.
    QVERIFY(drawn.isEmpty() ? err.isEmpty() : err.endsWith("\r\x1b[K"));
    QCOMPARE(QString::fromStdString(c.out.str()), out);
}

void tst_DarvoltSplit::programExitStatuses()
{
    const ProgramRun help = runProgram({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("Exit status: 0 split, 1 failed"));
    QVERIFY(help.out.contains("--custom=KB"));
    QVERIFY2(help.out.count('\n') <= 25, help.out.constData()); // a screen
    // The program writes the recovery data itself.
    QVERIFY2(help.out.contains("PAR2") && !help.out.contains("par2"), help.out.constData());
    const ProgramRun version = runProgram({"--version"});
    QCOMPARE(version.status, 0);
    QVERIFY(version.out.startsWith("darvolt-split (Darvolt) "));
    QCOMPARE(runProgram({}).status, 2);
    QCOMPARE(runProgram({"--standard", "--span", "x"}).status, 2);
    const ProgramRun missing = runProgram({"/nonexistent/file.bin"});
    QCOMPARE(missing.status, 1);
    QCOMPARE(missing.err, QByteArray("darvolt-split: cannot open '/nonexistent/file.bin': No such file or directory\n"));
}

void tst_DarvoltSplit::programSplitsARealFile_data()
{
    QTest::addColumn<QStringList>("options"); // the size and the folder
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QList<qint64>>("sizes"); // of the parts, in order
    const QList<qint64> kb16{16384, 16384, 7232};
    QTest::newRow("beside the file") << QStringList{"--custom", "$10"} << "DATA_PARTS" << kb16;
    QTest::newRow("-d, made") << QStringList{"-c", "16", "-d", "out"} << "out" << kb16;
    QTest::newRow("--directory=, existing, with a slash") << QStringList{"--bytes=16K", "--directory=sub/"} << "sub"
                                                          << kb16;
    QTest::newRow("-b in bytes") << QStringList{"-b", "15000"} << "DATA_PARTS" << QList<qint64>{15000, 15000, 10000};
    QTest::newRow("-b in KB of 1000") << QStringList{"-b15KB"} << "DATA_PARTS" << QList<qint64>{15000, 15000, 10000};
    QTest::newRow("-n 3") << QStringList{"-n", "3"} << "DATA_PARTS" << QList<qint64>{13334, 13334, 13332};
    QTest::newRow("-n 4, the size a multiple of 4") << QStringList{"--number", "4"} << "DATA_PARTS"
                                                    << QList<qint64>{10001, 10001, 10001, 9997};
    QTest::newRow("-b, an exact divisor: an empty last part") << QStringList{"-b", "20000"} << "DATA_PARTS"
                                                              << QList<qint64>{20000, 20000, 0};
    QTest::newRow("two parts at once, of an odd size") << QStringList{"-b", "9999", "--no-checksum"} << "DATA_PARTS"
                                                       << QList<qint64>{9999, 9999, 9999, 9999, 4};
    QTest::newRow("recovery data over parts of an odd size") << QStringList{"-b", "9999", "-r", "20"} << "DATA_PARTS"
                                                             << QList<qint64>{9999, 9999, 9999, 9999, 4};
    QTest::newRow("-b larger than the file: one part") << QStringList{"-b", "25M"} << "DATA_PARTS"
                                                       << QList<qint64>{40000};
    QTest::newRow("one part, with recovery data") << QStringList{"-b", "1M", "-r", "10"} << "DATA_PARTS"
                                                  << QList<qint64>{40000};
}

void tst_DarvoltSplit::programSplitsARealFile()
{
    QFETCH(QStringList, options);
    QFETCH(QString, folder);
    QFETCH(QList<qint64>, sizes);
    const bool recovery = options.contains("-r");
    if (recovery && QStandardPaths::findExecutable("par2").isEmpty())
        QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");
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
    const ProgramRun r = runProgram(options + QStringList{"data.bin"}, {}, {}, dir.path());
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.out, QByteArray()); // not a terminal: no closing line
    const QDir parts(dir.filePath(folder));
    QByteArray joined;
    for (int i = 0; i < sizes.size(); ++i) {
        QFile f(parts.filePath(QString("data.bin.!%1").arg(i, 2, 10, QChar('0'))));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.size(), sizes[i]);
        joined += f.readAll();
    }
    QVERIFY(!parts.exists(QString("data.bin.!%1").arg(sizes.size(), 2, 10, QChar('0'))));
    QCOMPARE(joined, data);
    for (const char* file : {"MERGE.BAT", "merge.sh"})
        QVERIFY(parts.exists(file));
    QCOMPARE(parts.exists("data.bin.sha256"), !options.contains("--no-checksum"));
    QCOMPARE(QFile::exists(dir.filePath("DATA_PARTS")), folder == "DATA_PARTS");

    // merge.sh checks and joins them, rebuilding a lost part from the recovery data.
    QVERIFY(QFile::remove(dir.filePath("data.bin")));
    if (recovery)
        QVERIFY(QFile::remove(parts.filePath(QString("data.bin.!%1").arg(sizes.size() / 2, 2, 10, QChar('0')))));
    const ProgramRun merged = RunToEnd("/bin/sh", {"merge.sh"}, {}, QProcessEnvironment::systemEnvironment(),
                                       parts.path());
    QVERIFY2(merged.status == 0, merged.out + merged.err);
    QFile result(parts.filePath("data.bin"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll(), data);
}

void tst_DarvoltSplit::programRefusesAFolderOfAnotherSet_data()
{
    QTest::addColumn<QString>("first");     // split first into REPORT_PARTS
    QTest::addColumn<QStringList>("second"); // then this
    QTest::addColumn<QString>("refusal");   // empty: the second split goes ahead
    QTest::newRow("another file of the same stem")
        << "report.doc" << QStringList{"-b", "4K", "report.pdf"}
        << "darvolt-split: The folder REPORT_PARTS already holds the parts of report.doc; splitting report.pdf there "
           "would replace their MERGE.BAT and merge.sh. Move them away first, or give this split a folder of its own "
           "(darvolt-split -d FOLDER). Splitting file canceled\n";
    QTest::newRow("the same file again") << "report.pdf" << QStringList{"-n", "2", "report.pdf"} << "";
    QTest::newRow("another file, in a folder of its own")
        << "report.doc" << QStringList{"-b", "4K", "-d", "pdf", "report.pdf"} << "";
    QTest::newRow("a folder of other files") << "" << QStringList{"-c", "4", "report.pdf"} << "";
}

void tst_DarvoltSplit::programRefusesAFolderOfAnotherSet()
{
    QFETCH(QString, first);
    QFETCH(QStringList, second);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    for (const char* name : {"report.doc", "report.pdf"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(10000, name[7])) == 10000);
    }
    const QDir parts(dir.filePath("REPORT_PARTS"));
    if (first.isEmpty()) { // a folder the user keeps other things in
        QVERIFY(parts.mkpath("notes"));
        QFile mine(parts.filePath("notes.txt"));
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    } else {
        QCOMPARE(runProgram({"-b", "3K", first}, {}, {}, dir.path()).status, 0);
    }
    const QByteArray script = contents(parts.filePath("merge.sh"));
    const QStringList before = parts.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const ProgramRun r = runProgram(second, {}, {}, dir.path());
    QCOMPARE(QString::fromUtf8(r.err), refusal);
    QCOMPARE(r.status, refusal.isEmpty() ? 0 : 1);
    if (!refusal.isEmpty()) { // nothing written, nothing replaced
        QCOMPARE(parts.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(contents(parts.filePath("merge.sh")), script);
    } else if (first.isEmpty()) {
        QVERIFY(parts.exists("notes.txt") && parts.exists("notes") && parts.exists("report.pdf.!00"));
    }
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
    QVERIFY(ok.err.contains("darvolt-split: Insert diskette number 1 into the drive\n"));
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
    const QByteArray interrupted = QByteArray::fromStdString("darvolt-split: " + ConsoleLine(texts::Interrupted));
    QTest::newRow("Ctrl-C at the prompt") << QStringList{"--span"} << int(SIGINT) << false << 130
                                          << interrupted;
    QTest::newRow("SIGTERM at the prompt") << QStringList{"--span"} << int(SIGTERM) << false << 143
                                           << interrupted;
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
