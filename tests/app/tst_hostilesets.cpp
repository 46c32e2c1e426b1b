// darvolt-split and darvolt-join against folders, media and names that
// someone else prepared: a downloaded set of parts, a stick handed over, a
// folder others write into. Neither may report success over wrong bytes or
// write anywhere but where it says.

#include "support/programrun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ProgramRun run(const QString& program, const QStringList& args, const QString& folder,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(), const QByteArray& input = {})
{
    return RunToEnd(program, args, input, env, folder);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool isLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(i * seed + i / 4093);
    return data;
}

// The checksum file a split of these parts would have written.
QByteArray sums(const QString& folder, const QStringList& names, const QString& whole)
{
    QByteArray text;
    QCryptographicHash all(QCryptographicHash::Sha256);
    for (const QString& name : names) {
        const QByteArray part = contents(folder + "/" + name);
        all.addData(part);
        text += QCryptographicHash::hash(part, QCryptographicHash::Sha256).toHex() + "  " + name.toUtf8() + "\n";
    }
    return text + all.result().toHex() + "  " + whole.toUtf8() + "\n";
}

} // namespace

class tst_HostileSets : public QObject {
    Q_OBJECT

private slots:
    void splitWritesOnlyItsOwnFiles_data();
    void splitWritesOnlyItsOwnFiles();
    void joinTrustsOnlyTheChecksumFile_data();
    void joinTrustsOnlyTheChecksumFile();
};

void tst_HostileSets::splitWritesOnlyItsOwnFiles_data()
{
    QTest::addColumn<QString>("twist");
    QTest::addColumn<QByteArray>("name"); // the source's
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // in what it printed
    QTest::newRow("a stick with links under the scripts' names") << "medium" << QByteArray("a.txt") << 0 << "spanned";
    QTest::newRow("the parts folder planted as a link by another user")
        << "planted folder" << QByteArray("report.doc") << 1 << "/REPORT_PARTS is a symbolic link";
    QTest::newRow("a source named like the batch file") << "" << QByteArray("Merge.bat") << 1
                                                        << "has the name of a script Darvolt writes";
    QTest::newRow("a source named like the shell script") << "" << QByteArray("merge.sh") << 1
                                                          << "has the name of a script Darvolt writes";
    QTest::newRow("a private source") << "private" << QByteArray("secret.bin") << 0 << "";
    QTest::newRow("a name ending in a carriage return") << "round trip" << QByteArray("cr.txt\r") << 0 << "";
    QTest::newRow("a name too long for the checksum file")
        << "" << QByteArray(246, 'n') + ".bin" << 1 << "bytes the file system of";
}

void tst_HostileSets::splitWritesOnlyItsOwnFiles()
{
    QFETCH(QString, twist);
    QFETCH(QByteArray, name);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755)));
    const QString source = QFile::decodeName(name);
    const QByteArray data = pattern(3000 + 2 * 1024, 7);
    const QString victim = dir.filePath("victim");
    QVERIFY(write(victim, "keep me"));
    QVERIFY(QDir(dir.path()).mkdir("elsewhere"));
    auto env = QProcessEnvironment::systemEnvironment();
    QStringList args{"--custom", "1", source};

    std::unique_ptr<QByteArray, void (*)(QByteArray*)> mounted(nullptr, [](QByteArray* where) {
        ::umount2(where->constData(), MNT_DETACH);
        delete where;
    });
    if (twist == "medium") {
        // A stick whose owner left links where the run writes its files.
        const QString drive = dir.filePath("stick");
        QVERIFY(QDir(dir.path()).mkdir("stick"));
        if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(drive).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("a medium is mounted for this test by root only");
        mounted.reset(new QByteArray(QFile::encodeName(drive)));
        for (const char* planted : {"MERGE.BAT", "merge.sh", "a.txt.sha256"})
            QVERIFY(QFile::link(victim, drive + "/" + QString(planted)));
        env.insert("DARVOLT_DRIVE_A", drive);
        args = QStringList{"--span", source};
    } else if (twist == "planted folder") {
        // A folder everyone may write to, where someone else put a link
        // under the name the parts folder will have.
        const QString shared = dir.filePath("shared");
        QVERIFY(QDir(dir.path()).mkdir("shared"));
        QVERIFY(QFile::setPermissions(shared, QFileDevice::Permissions(0x7777)));
        const QString link = shared + "/REPORT_PARTS";
        if (::geteuid() == 0)
            QCOMPARE(QProcess::execute("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "ln", "-s",
                                                   dir.filePath("elsewhere"), link}),
                     0);
        else
            QVERIFY(QFile::link(dir.filePath("elsewhere"), link));
        QVERIFY(isLink(link));
        args.last() = "shared/" + source;
    }
    QVERIFY(write(dir.filePath(args.last()), data));
    if (twist == "private")
        QVERIFY(::chmod(QFile::encodeName(dir.filePath(source)).constData(), 0600) == 0);

    const ProgramRun split = run(DARVOLT_SPLIT_PROGRAM, args, dir.path(), env, "\n");
    QVERIFY2(split.status == status, (split.out + split.err).constData());
    QVERIFY2((split.out + split.err).contains(said.toUtf8()), (split.out + split.err).constData());
    QCOMPARE(contents(victim), QByteArray("keep me"));
    QVERIFY(QDir(dir.filePath("elsewhere")).isEmpty());
    QCOMPARE(contents(dir.filePath(args.last())), data);
    if (status != 0) { // refused before anything was written
        const QString folder = dir.filePath(QFileInfo(args.last()).path());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).filter("_PARTS"),
                 twist == "planted folder" ? QStringList{"REPORT_PARTS"} : QStringList{});
        return;
    }

    const QString parts = twist == "medium" ? dir.filePath("stick") : dir.filePath(source.section('.', 0, 0).toUpper() + "_PARTS");
    for (const QString& made : QDir(parts).entryList(QDir::Files | QDir::System))
        QVERIFY2(!isLink(parts + "/" + made), qPrintable(made));
    if (twist == "private") {
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(parts + "/secret.bin.!00").constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    } else if (twist == "round trip") {
        // sha256sum and merge.sh take the name as it is, carriage return and all.
        const QString sha256sum = QStandardPaths::findExecutable("sha256sum");
        const ProgramRun checked = run(sha256sum, {"-c", "--ignore-missing", source + ".sha256"}, parts);
        QVERIFY2(checked.status == 0, (checked.out + checked.err).constData());
        const ProgramRun merged = run("/bin/sh", {"merge.sh"}, parts, QProcessEnvironment::systemEnvironment(), "n\n");
        QVERIFY2(merged.status == 0, (merged.out + merged.err).constData());
        QCOMPARE(contents(parts + "/" + source), data);
    }
}

void tst_HostileSets::joinTrustsOnlyTheChecksumFile_data()
{
    QTest::addColumn<QString>("twist");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // in what it printed
    QTest::newRow("recovery data that also rewrite the checksum file")
        << "covers sums" << 4 << "also describe my file.bin.sha256, which is not a part of my file.bin";
    QTest::newRow("recovery data that reach through a linked folder") << "covers lnk/pwned" << 4 << "also describe lnk/pwned";
    QTest::newRow("a link beside the parts") << "stray link" << 4 << "stray in their folder is a symbolic link";
    QTest::newRow("a part that is a link out of the folder") << "linked part" << 4 << "is a symbolic link";
    QTest::newRow("a par2 that came with the parts") << "shipped par2" << 0 << "was missing or damaged and rebuilt";
    QTest::newRow("a checksum file of empty lines") << "empty lines" << 1 << "is not a part";
    QTest::newRow("the last parts lost, no checksum file") << "lost last" << 4 << "the parts after it are missing";
    QTest::newRow("a stray part the scripts do not join") << "stray part" << 4 << "merge.sh joins 4 parts, but 5";
    QTest::newRow("--force onto a pipe") << "fifo" << 1 << "is not a regular file";
}

void tst_HostileSets::joinTrustsOnlyTheChecksumFile()
{
    QFETCH(QString, twist);
    QFETCH(int, status);
    QFETCH(QString, said);
    const QString par2 = QStandardPaths::findExecutable("par2");
    if (par2.isEmpty())
        QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");
    QTemporaryDir dir;
    const QByteArray data = pattern(3000 * 1024 + 77, 13);
    QVERIFY(write(dir.filePath("my file.bin"), data));
    const bool recovery = twist == "stray link" || twist == "linked part" || twist == "shipped par2";
    QStringList options{"--custom", "1000", "my file.bin"};
    if (recovery)
        options = QStringList{"--recovery", "25"} + options;
    if (twist == "lost last")
        options.prepend("--no-checksum");
    QCOMPARE(run(DARVOLT_SPLIT_PROGRAM, options, dir.path()).status, 0);
    const QString parts = dir.filePath("MY FILE_PARTS");
    QVERIFY(QFile::remove(dir.filePath("my file.bin")));
    QVERIFY(QDir(dir.path()).mkdir("outside"));
    const QStringList names{"my file.bin.!00", "my file.bin.!01", "my file.bin.!02", "my file.bin.!03"};
    const QByteArray genuineSums = contents(parts + "/my file.bin.sha256");
    auto env = QProcessEnvironment::systemEnvironment();
    QStringList args{parts + "/my file.bin.!00"};

    if (twist == "covers sums") {
        // The maker's own part and checksum file, covered by recovery data,
        // shipped with the genuine checksum file in their place.
        QVERIFY(write(parts + "/my file.bin.!01", pattern(1024000, 5)));
        QVERIFY(write(parts + "/my file.bin.sha256", sums(parts, names, "my file.bin")));
        QCOMPARE(run(par2, QStringList{"create", "-q", "-s1024000", "-c2", "forged.par2"} << names << "my file.bin.sha256", parts).status, 0);
        QVERIFY(write(parts + "/my file.bin.sha256", genuineSums));
    } else if (twist == "covers lnk/pwned") {
        QVERIFY(QDir(parts).mkdir("lnk"));
        QVERIFY(write(parts + "/lnk/pwned", "written outside"));
        QCOMPARE(run(par2, QStringList{"create", "-q", "-s1024000", "-c3", "forged.par2"} << names << "lnk/pwned", parts).status, 0);
        QVERIFY(QFile::remove(parts + "/lnk/pwned") && QDir(parts).rmdir("lnk"));
        QVERIFY(QFile::link(dir.filePath("outside"), parts + "/lnk"));
        QVERIFY(QFile::remove(parts + "/my file.bin.!01"));
    } else if (twist == "stray link") {
        QVERIFY(QFile::link(dir.filePath("outside/nothing"), parts + "/stray"));
        QVERIFY(QFile::remove(parts + "/my file.bin.!01"));
    } else if (twist == "linked part") {
        QVERIFY(QFile::remove(parts + "/my file.bin.!01"));
        QVERIFY(QFile::link(dir.filePath("outside/part"), parts + "/my file.bin.!01"));
    } else if (twist == "shipped par2") {
        QVERIFY(write(parts + "/par2", "#!/bin/sh\ntouch ran\nexit 0\n"));
        QVERIFY(QFile::setPermissions(parts + "/par2", QFileDevice::Permissions(0x7755)));
        env.insert("PATH", ".:" + env.value("PATH"));
        QVERIFY(QFile::remove(parts + "/my file.bin.!01"));
    } else if (twist == "empty lines") {
        // What such a file costs is what its entries cost: nothing much.
        QFile empty(parts + "/my file.bin.sha256");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, '\n');
        for (int i = 0; i < 100; ++i)
            QCOMPARE(empty.write(block), block.size());
        empty.close();
        args = QStringList{"--check", parts + "/my file.bin.sha256"};
    } else if (twist == "lost last") {
        QVERIFY(QFile::remove(parts + "/my file.bin.!03"));
        QVERIFY(QFile::remove(parts + "/merge.sh") && QFile::remove(parts + "/MERGE.BAT"));
    } else if (twist == "stray part") {
        QVERIFY(QFile::remove(parts + "/my file.bin.sha256"));
        QVERIFY(write(parts + "/my file.bin.!04", "from another split"));
    } else if (twist == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
        args = QStringList{"--force", "-o", dir.filePath("pipe"), parts};
    }

    const QString time = QStandardPaths::findExecutable("time", {"/usr/bin"});
    if (twist == "empty lines" && !time.isEmpty())
        args = QStringList{"-f", "peak %M KiB", DARVOLT_JOIN_PROGRAM} << args;
    const ProgramRun join =
        run(twist == "empty lines" && !time.isEmpty() ? time : QString(DARVOLT_JOIN_PROGRAM), args, parts, env);
    const QByteArray told = join.out + join.err;
    QVERIFY2(join.status == status, told.constData());
    QVERIFY2(told.contains(said.toUtf8()), told.constData());
    if (const qsizetype peak = told.indexOf("peak "); peak >= 0)
        QVERIFY2(told.mid(peak + 5).split(' ').front().toLongLong() < 200 * 1024, told.constData());

    QCOMPARE(contents(parts + "/my file.bin") == data, status == 0);
    QVERIFY(QDir(dir.filePath("outside")).isEmpty());
    QVERIFY(!QFile::exists(parts + "/ran"));
    if (twist == "covers sums")
        QCOMPARE(contents(parts + "/my file.bin.sha256"), genuineSums);
    if (twist == "fifo") {
        struct stat st {};
        QVERIFY(::lstat(QFile::encodeName(dir.filePath("pipe")).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }
}

QTEST_GUILESS_MAIN(tst_HostileSets)
#include "tst_hostilesets.moc"
