// merge.sh on real files, under dash and BusyBox sh: it rejoins, checks,
// refuses what it must refuse, and never runs a word of a file name.

#include "platform/posixplatform.h"
#include "parts/partnaming.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>

using namespace darvolt;

namespace {

// Paths as bytes: a name may hold bytes that are no UTF-8, which a QString
// would not give back.
bool exists(const std::string& path) { return std::filesystem::exists(path); }

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<missing>");
}

void writeAll(const std::string& path, const std::string& bytes, std::streamoff at = 0)
{
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!out)
        out.open(path, std::ios::binary | std::ios::out);
    out.seekp(at);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

enum class Twist {
    None, DamagedPart, ExistingOutput, NoSha256sum, NoChecksums,
    // With recovery data: a part deleted and another damaged, rebuilt by
    // par2; the same without checksums (par2 checks); without par2 installed;
    // with a par2, sha256sum, cat and rm in the folder and "." first in PATH;
    // with a set that also covers notes.txt, changed since; with the missing
    // part a link to a file outside; with a link beside the parts.
    Rebuilt, RebuiltUnchecked, NoPar2, ProgramsInFolder, NotesCovered, LinkedPart, LinkBeside,
};

// A folder holding links to these programs only, for a PATH without the rest.
QString pathWith(const QTemporaryDir& dir, std::initializer_list<const char*> tools)
{
    QDir(dir.path()).mkdir("bin");
    for (const char* tool : tools)
        QFile::link(QStandardPaths::findExecutable(tool), dir.path() + "/bin/" + tool);
    return dir.path() + "/bin";
}

} // namespace

class tst_MergeShell : public QObject {
    Q_OBJECT

private slots:
    void rejoinsChecksAndRefuses_data();
    void rejoinsChecksAndRefuses();
};

void tst_MergeShell::rejoinsChecksAndRefuses_data()
{
    QTest::addColumn<QStringList>("shell");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("twist");
    QTest::addColumn<QByteArray>("answer");

    // The byte that is no UTF-8 sits after the last dot, so that the parts'
    // folder (named after what comes before it) stays a name QProcess can use.
    const QByteArray hostile = "it's $(touch PWNED) `touch PWNED` ;* \"$HOME\" \\n \xc3\xa9 -x.d\xe9" "c";
    // par2 takes no "*", "?" or "\\" in a name (no recovery data are written for one).
    const QByteArray recoverable = "it's $(touch PWNED) `touch PWNED` ; \"$HOME\" \xc3\xa9 -x.d\xe9" "c";
    const int kb = 1024;
    for (const QStringList& shell : {QStringList{"dash"}, QStringList{"busybox", "sh"}}) {
        const QByteArray s = shell.first().toLatin1();
        auto row = [&](const char* what) -> QTestData& { return QTest::newRow((s + ": " + what).constData()) << shell; };
        row("plain, parts erased") << QByteArray("report.doc") << 3 * kb + 5 << int(Twist::None) << QByteArray("y\n");
        row("hostile name") << hostile << 3 * kb << int(Twist::None) << QByteArray("Yes\n");
        row("line feed in the name") << QByteArray("two\nlines") << 2 * kb + 1 << int(Twist::None) << QByteArray("n\n");
        row("1001 parts, no answer") << QByteArray("many parts") << 1000 * kb + 3 << int(Twist::None) << QByteArray();
        row("damaged part") << hostile << 3 * kb << int(Twist::DamagedPart) << QByteArray("y\n");
        row("existing output") << QByteArray("report.doc") << 3 * kb << int(Twist::ExistingOutput) << QByteArray("y\n");
        row("no sha256sum") << hostile << 3 * kb << int(Twist::NoSha256sum) << QByteArray("y\n");
        row("split without checksums") << QByteArray("report.doc") << 2 * kb << int(Twist::NoChecksums) << QByteArray();
        row("parts rebuilt by par2") << recoverable << 4 * kb + 9 << int(Twist::Rebuilt) << QByteArray("n\n");
        row("rebuilt without checksums") << QByteArray("report.doc") << 4 * kb << int(Twist::RebuiltUnchecked) << QByteArray();
        row("recovery data, no par2") << QByteArray("report.doc") << 3 * kb << int(Twist::NoPar2) << QByteArray();
        row("programs in the folder") << recoverable << 4 * kb + 9 << int(Twist::ProgramsInFolder) << QByteArray("y\n");
        row("set covers notes.txt") << QByteArray("report.doc") << 4 * kb + 9 << int(Twist::NotesCovered) << QByteArray();
        row("linked part") << recoverable << 4 * kb + 9 << int(Twist::LinkedPart) << QByteArray();
        row("link beside the parts") << QByteArray("report.doc") << 4 * kb + 9 << int(Twist::LinkBeside) << QByteArray();
    }
}

void tst_MergeShell::rejoinsChecksAndRefuses()
{
    QFETCH(QStringList, shell);
    QFETCH(QByteArray, name);
    QFETCH(int, size);
    QFETCH(int, twist);
    QFETCH(QByteArray, answer);
    if (QStandardPaths::findExecutable(shell.first()).isEmpty())
        QSKIP("shell not installed (tools/setup-deps.sh test installs it)");
    const bool recovery = Twist(twist) >= Twist::Rebuilt;
    if (recovery && QStandardPaths::findExecutable("par2").isEmpty())
        QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");

    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    const std::string source = name.toStdString();
    const std::string data = patternBytes(std::size_t(size), 3);
    writeAll(folder + source, data);
    PosixPlatformOptions platformOptions;
    platformOptions.fileManagerCommand.clear();
    PosixPlatform platform(platformOptions);
    RecordingView view;
    SplitOptions options;
    options.checksums = Twist(twist) != Twist::NoChecksums && Twist(twist) != Twist::RebuiltUnchecked;
    options.recoveryPercent = recovery ? 50 : 0;
    QCOMPARE(SplitFile(platform, view, {source, folder, 1024}, options).outcome, SplitOutcome::Done);
    const std::string parts = OutputFolder(folder, source) + "/";
    const std::string target = parts + source;
    const int partCount = size / 1024 + 1;
    const std::string lastPart = parts + BarePartName(source, partCount - 1);
    QVERIFY(exists(lastPart));
    if (Twist(twist) == Twist::NotesCovered) {
        // The set made again over the parts and notes.txt, then notes.txt changed.
        QStringList create{"create", "-q", "-s1024", "-c4", "--", "report.doc.par2", "notes.txt"};
        for (const auto& entry : std::filesystem::directory_iterator(parts)) {
            const std::string file = entry.path().filename().string();
            if (file.ends_with(".par2"))
                std::filesystem::remove(entry.path());
            else if (file.starts_with(source + ".!"))
                create << QString::fromStdString(file);
        }
        writeAll(parts + "notes.txt", patternBytes(1024, 5));
        QProcess par2;
        par2.setWorkingDirectory(QString::fromStdString(parts));
        par2.start("par2", create);
        QVERIFY(par2.waitForFinished(60000) && par2.exitCode() == 0);
        writeAll(parts + "notes.txt", patternBytes(1024, 6));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (Twist(twist) == Twist::DamagedPart) {
        writeAll(parts + BarePartName(source, 1), "!", 10);
    } else if (Twist(twist) == Twist::ExistingOutput) {
        writeAll(target, "keep");
    } else if (Twist(twist) == Twist::NoSha256sum) {
        // A PATH with the two programs the script needs besides sha256sum.
        env.insert("PATH", pathWith(dir, {"cat", "rm"}));
    } else if (recovery) {
        std::filesystem::remove(parts + BarePartName(source, 1));
        writeAll(parts + BarePartName(source, 3), "!", 10);
        if (Twist(twist) == Twist::NoPar2)
            env.insert("PATH", pathWith(dir, {"cat", "rm", "sha256sum"}));
        if (Twist(twist) == Twist::ProgramsInFolder) {
            for (const char* tool : {"par2", "sha256sum", "cat", "rm"}) {
                writeAll(parts + tool, "#!/bin/sh\necho > RAN\n");
                std::filesystem::permissions(parts + tool, std::filesystem::perms::owner_all);
            }
            env.insert("PATH", ".:" + env.value("PATH"));
        }
        if (Twist(twist) == Twist::LinkedPart || Twist(twist) == Twist::LinkBeside)
            std::filesystem::create_symlink(folder + "outside", parts + (Twist(twist) == Twist::LinkedPart
                                                                             ? BarePartName(source, 1) : "elsewhere"));
    }

    QProcess run;
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(QFile::decodeName(QByteArray::fromStdString(parts)));
    run.start(QStandardPaths::findExecutable(shell.first()), shell.mid(1) << "merge.sh");
    QVERIFY(run.waitForStarted());
    run.write(answer);
    run.closeWriteChannel();
    QVERIFY(run.waitForFinished(120000));
    const QByteArray said = run.readAllStandardOutput() + run.readAllStandardError();
    // What the script says where it refuses to rebuild the parts.
    const std::map<Twist, QByteArray> refusals = {
        {Twist::NoPar2, "par2 is not installed"},
        {Twist::NotesCovered, "not parts of this set; nothing was rebuilt:\n    notes.txt\nmerge.sh:"},
        {Twist::LinkedPart, QByteArray::fromStdString(BarePartName(source, 1)) + " is a symbolic link"},
        {Twist::LinkBeside, "elsewhere is a symbolic link"}};
    const bool joins = Twist(twist) != Twist::DamagedPart && Twist(twist) != Twist::ExistingOutput
                       && !refusals.contains(Twist(twist));

    QVERIFY2((run.exitCode() == 0) == joins, said.constData());
    QVERIFY(!exists(parts + "PWNED") && !exists(folder + "PWNED"));
    QVERIFY(!exists(parts + "RAN") && !exists(folder + "outside"));
    if (Twist(twist) == Twist::ExistingOutput)
        QCOMPARE(readAll(target), std::string("keep"));
    else if (refusals.contains(Twist(twist)))
        QVERIFY2(!exists(target) && said.contains(refusals.at(Twist(twist))), said.constData());
    else if (!joins)
        QVERIFY2(!exists(target) && said.contains("FAILED"), said.constData());
    else
        QVERIFY2(readAll(target) == data, said.constData());
    if (Twist(twist) == Twist::NoSha256sum)
        QVERIFY2(said.contains("sha256sum was not found"), said.constData());
    if (Twist(twist) == Twist::NoChecksums)
        QVERIFY2(said.contains("cannot be checked"), said.constData());
    if (joins && recovery) {
        QVERIFY2(said.contains("Rebuilding the parts with par2"), said.constData());
        // par2's copy of the damaged part is gone, so that NAME.!* is the parts.
        QVERIFY2(!exists(parts + BarePartName(source, 3) + ".1") && said.contains("; it was removed once"),
                 said.constData());
    }
    if (Twist(twist) == Twist::None)
        QVERIFY2(said.count(": OK") == partCount + 1, said.constData());
    if (Twist(twist) == Twist::NotesCovered)
        QVERIFY(readAll(parts + "notes.txt") == patternBytes(1024, 6));
    const bool erased = joins && answer.toLower().startsWith("y");
    QCOMPARE(exists(lastPart), !erased);
    QVERIFY(exists(parts + "MERGE.BAT") && exists(parts + "merge.sh"));
}

QTEST_GUILESS_MAIN(tst_MergeShell)
#include "tst_mergeshell.moc"
