// darvolt-split and darvolt-join against folders, media and names that
// someone else prepared: a downloaded set of parts, a stick handed over, a
// folder others write into. Neither may report success over wrong bytes or
// write anywhere but where it says.

#include "support/par2forge.h"
#include "support/programrun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/resource.h>
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
    void recoveryDataReplaceNothing_data();
    void recoveryDataReplaceNothing();
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

namespace {

// A run of darvolt-join with its processor time capped: reading these
// folders a few times takes well under a second, so a run that the
// recovery data make work far beyond that is killed and its row fails.
ProgramRun joinCapped(const QStringList& args, const QString& folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setChildProcessModifier([] {
        const rlimit cpu{5, 5};
        ::setrlimit(RLIMIT_CPU, &cpu);
    });
    p.start(DARVOLT_JOIN_PROGRAM, args);
    if (!p.waitForStarted())
        return {};
    p.closeWriteChannel();
    const bool ended = p.waitForFinished(300000);
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    return {ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool par2Create(const QString& folder, const QStringList& args)
{
    return RunToEnd("par2", QStringList{"create", "-q", "-q"} + args, {}, QProcessEnvironment::systemEnvironment(),
                    folder)
               .status
           == 0;
}

// The recovery files beside the parts, removed.
void removeRecovery(const QString& folder)
{
    for (const QString& name : QDir(folder).entryList({"*.par2"}, QDir::Files))
        QFile::remove(folder + "/" + name);
}

// What a file's name is in a set of par2 create's, given its own bytes.
QByteArray setIdOf(const QString& par2File)
{
    const auto packets = par2forge::packetsIn(contents(par2File));
    return packets.isEmpty() ? QByteArray() : packets.front().setId;
}

} // namespace

void tst_HostileSets::recoveryDataReplaceNothing_data()
{
    QTest::addColumn<QString>("attack");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    // Recovery data that describe another file beside the parts.
    const QString describesNotes = "also describe notes.txt";
    QTest::newRow("a description behind four junk bytes") << "junk" << 4 << describesNotes;
    QTest::newRow("a description padded past 64 KiB") << "padded" << 4 << describesNotes;
    QTest::newRow("a description in another PAR2 file") << "other file" << 4 << describesNotes;
    QTest::newRow("a description of the checksum file for par2")
        << "par2 volume" << 4 << "also describe my file.bin.sha256";
    QTest::newRow("a later part described otherwise") << "later part" << 4 << "my file.bin.par2";
    QTest::newRow(".001 and .crc with recovery data") << "crc" << 4 << "anyone can make a CRC32 match";
    QTest::newRow(".001 and .crc, the recovery data trusted") << "crc trusted" << 0 << "joined from 4 parts";
    QTest::newRow("a slice size of 2^62") << "huge slices" << 4 << "cannot rebuild the parts";
    QTest::newRow("a main packet of 40,000 files") << "many files" << 4 << "also describe junk0";
    QTest::newRow("100,000 descriptions in one file") << "many descriptions" << 4 << "holds more than any PAR2 set can";
    QTest::newRow("junk recovery slices among 300 lost parts") << "junk slices" << 4 << "cannot rebuild the parts";
    QTest::newRow("100,000 short recovery packets") << "short packets" << 4 << "cannot rebuild the parts";
    QTest::newRow("packet headers every 16 bytes") << "dense headers" << 0 << "rebuilt from the recovery data";
    QTest::newRow("a part linked to a private file") << "linked part" << 4 << "is a symbolic link";
    QTest::newRow("a GNU split part linked to a private file") << "linked gnu part" << 4 << "is a symbolic link";
    QTest::newRow("50,000 first volumes") << "many volumes" << 1 << "holds the parts of more than one file";
    QTest::newRow("a 7-Zip set without its last volume") << "7z short" << 4 << "7-Zip start header";
}

void tst_HostileSets::recoveryDataReplaceNothing()
{
    QFETCH(QString, attack);
    QFETCH(int, status);
    QFETCH(QString, said);
    if (QStandardPaths::findExecutable("par2").isEmpty())
        QSKIP("par2 not installed (tools/setup-deps.sh test installs it)");
    QTemporaryDir dir;
    const QString parts = dir.filePath("MY FILE_PARTS");
    const bool junkSlices = attack == "junk slices";
    // 300 parts of 1 KB, or five of 64 KiB, the last one short.
    const QByteArray data = junkSlices ? pattern(300 * 1024 - 77, 5) : pattern(5 * 65536 - 777, 3);
    QVERIFY(write(dir.filePath("my file.bin"), data));
    QVERIFY(write(dir.filePath("private"), "the user's secret"));
    QVERIFY(::chmod(QFile::encodeName(dir.filePath("private")).constData(), 0600) == 0);
    QStringList split{"--custom", junkSlices ? "1" : "64", "--recovery", junkSlices ? "100" : "60", "my file.bin"};
    if (attack == "linked part")
        split = QStringList{"--custom", "64", "--no-checksum", "my file.bin"};
    QCOMPARE(RunToEnd(DARVOLT_SPLIT_PROGRAM, split, {}, QProcessEnvironment::systemEnvironment(), dir.path()).status, 0);
    QVERIFY(write(parts + "/notes.txt", "keep me"));
    const auto part = [&](int n) { return parts + QStringLiteral("/my file.bin.!%1").arg(n, 2, 10, QLatin1Char('0')); };
    QStringList partNames;
    for (int n = 0; QFile::exists(part(n)); ++n)
        partNames << QFileInfo(part(n)).fileName();
    const auto genuine = [&](int n) { return data.mid(n * 65536, 65536); };
    const QByteArray sums = contents(parts + "/my file.bin.sha256");
    const QByteArray merge = contents(parts + "/merge.sh");
    const QString index = parts + "/my file.bin.par2";
    const QByteArray setId = setIdOf(index);
    QString folder = parts;
    QStringList args{part(0)};
    QString joined = parts + "/my file.bin";
    QByteArray expected = data;

    // Part 01's description in the genuine set, but naming notes.txt: a
    // repair that took it would rebuild part 01 over notes.txt.
    const auto notesAsPartOne = [&](const QByteArray& padding) {
        const par2forge::File one{"my file.bin.!01", genuine(1)};
        return par2forge::packet(setId, par2forge::type("FileDesc"),
                                 one.id() + par2forge::md5(one.data) + one.first16k()
                                     + par2forge::number(std::uint64_t(one.data.size()), 8) + "notes.txt" + padding);
    };
    if (attack == "junk") {
        QVERIFY(write(index, contents(index) + "junk" + notesAsPartOne({})));
        QVERIFY(write(part(2), "damaged"));
    } else if (attack == "padded") {
        QVERIFY(write(index, contents(index) + notesAsPartOne(QByteArray(70000, '\0'))));
        QVERIFY(write(part(2), "damaged"));
    } else if (attack == "other file") {
        QVERIFY(write(parts + "/extra.par2", notesAsPartOne({})));
        QVERIFY(write(part(2), "damaged"));
    } else if (attack == "par2 volume") {
        // Two slices a part: par2's work. A volume hides a description of
        // the checksum file behind junk.
        removeRecovery(parts);
        QVERIFY(par2Create(parts, QStringList{"-s32768", "-c4", "my file.bin.par2", "--"} + partNames));
        const par2forge::File sumsFile{"my file.bin.sha256", "the attacker's sums"};
        QVERIFY(write(parts + "/my file.bin.vol99+1.par2", "junk" + par2forge::description(setIdOf(index), sumsFile)));
        QVERIFY(write(part(1), "damaged"));
    } else if (attack == "later part") {
        // Recovery data for a part 04 of the attacker's, and part 00 damaged.
        QByteArray theirs = genuine(4);
        theirs[5] = char(theirs[5] ^ 1);
        QVERIFY(write(part(4), theirs));
        removeRecovery(parts);
        QVERIFY(par2Create(parts, QStringList{"-s65536", "-c3", "my file.bin.par2", "--"} + partNames));
        QVERIFY(write(part(4), genuine(4)));
        QVERIFY(write(part(0), "damaged"));
    } else if (attack == "crc" || attack == "crc trusted") {
        // Numbered parts and a .crc file, as Windows file managers write them.
        folder = dir.filePath("crc");
        QVERIFY(QDir(dir.path()).mkdir("crc"));
        QStringList volumes;
        for (int n = 0; n < 4; ++n) {
            volumes << QStringLiteral("arch.bin.%1").arg(n + 1, 3, 10, QLatin1Char('0'));
            QVERIFY(write(folder + "/" + volumes.last(), data.mid(n * 90000, n == 3 ? -1 : 90000)));
        }
        QVERIFY(write(folder + "/arch.bin.crc", "filename=arch.bin\r\nsize=" + QByteArray::number(data.size())
                                                     + "\r\ncrc32=" + QByteArray::number(par2forge::crc32(data), 16).rightJustified(8, '0').toUpper() + "\r\n"));
        QByteArray forged = contents(folder + "/arch.bin.002");
        if (attack == "crc")
            par2forge::damageKeepingCrc(forged); // the whole file's CRC32 still holds
        QVERIFY(write(folder + "/arch.bin.002", forged));
        QVERIFY(par2Create(folder, QStringList{"-s90000", "-c2", "arch.bin.par2", "--"} + volumes));
        QVERIFY(QFile::remove(folder + "/arch.bin.002"));
        args = QStringList{folder + "/arch.bin.001"};
        if (attack == "crc trusted")
            args.prepend("--trust-recovery");
        joined = folder + "/arch.bin";
    } else if (attack == "huge slices" || attack == "many files") {
        // The index replaced: its main packet claims slices of 2^62 bytes, or
        // lists 40,000 more files after the parts, each described (which
        // PAR2 has no constants for).
        const bool huge = attack == "huge slices";
        QList<par2forge::File> files;
        for (const QString& name : partNames)
            files << par2forge::File{name.toUtf8(), contents(parts + "/" + name)};
        for (int i = 0; !huge && i < 40000; ++i)
            files << par2forge::File{"junk" + QByteArray::number(i), "junk"};
        QList<QByteArray> ids;
        for (const par2forge::File& file : files)
            ids << file.id();
        const QByteArray body = par2forge::mainBody(huge ? std::uint64_t(1) << 62 : 65536, ids);
        const QByteArray id = huge ? par2forge::md5(body) : setId;
        QByteArray forged = par2forge::packet(id, par2forge::type("Main"), body);
        for (const par2forge::File& file : files)
            forged += par2forge::description(id, file)
                      + (huge ? par2forge::sliceChecksums(id, file.id(), par2forge::md5(file.data), 1) : QByteArray());
        if (huge)
            removeRecovery(parts);
        QVERIFY(write(index, forged));
        QVERIFY(write(part(1), "damaged"));
    } else if (attack == "many descriptions") {
        // More than a set of PAR2's largest could have, each kept, would
        // cost memory without end.
        QByteArray many;
        for (int i = 0; i < 100000; ++i)
            many += par2forge::description(setId, par2forge::File{"my file.bin.!" + QByteArray::number(i), {}});
        QVERIFY(write(parts + "/my file.bin.vol90+1.par2", many));
        QVERIFY(write(part(1), "damaged"));
    } else if (attack == "junk slices") {
        // Every part lost, one genuine recovery slice damaged, and 100 junk
        // slices of the set's ID and size that fail their hash.
        for (const QString& name : partNames)
            QVERIFY(QFile::remove(parts + "/" + name));
        const QString volume = parts + "/" + QDir(parts).entryList({"my file.bin.vol*.par2"}, QDir::Files).last();
        QByteArray damaged = contents(volume);
        const qsizetype slice = damaged.indexOf(par2forge::type("RecvSlic"));
        QVERIFY(slice > 0);
        damaged[slice + 100] = char(damaged[slice + 100] ^ 1);
        QVERIFY(write(volume, damaged));
        QByteArray junk;
        for (std::uint32_t e = 1000; e < 1100; ++e)
            junk += par2forge::recovery(setId, e, QByteArray(1024, 'j'), true);
        QVERIFY(write(parts + "/my file.bin.vol1000+100.par2", junk));
        args = QStringList{parts + "/my file.bin.sha256"};
    } else if (attack == "short packets") {
        // Too many parts lost for the genuine slices, and 100,000 recovery
        // packets of four bytes where a slice takes 64 KiB.
        QByteArray many;
        for (std::uint32_t e = 100; e < 100100; ++e)
            many += par2forge::recovery(setId, e, "abcd");
        QVERIFY(write(parts + "/my file.bin.vol100+100000.par2", many + QByteArray(65536, '\0')));
        for (int n = 1; n < 5; ++n)
            QVERIFY(QFile::remove(part(n)));
    } else if (attack == "dense headers") {
        // A sparse file whose first 64 KiB hold a header every 16 bytes,
        // each claiming 64 MiB.
        QFile dense(parts + "/my file.bin.vol60+1.par2");
        QVERIFY(dense.open(QIODevice::WriteOnly) && dense.resize((qint64(64) << 20) + 65536));
        QByteArray headers;
        while (headers.size() < 65536)
            headers += QByteArray("PAR2\0PKT", 8) + par2forge::number(std::uint64_t(64) << 20, 8);
        QVERIFY(dense.write(headers) == headers.size());
        dense.close();
        QVERIFY(QFile::remove(part(1)));
    } else if (attack == "linked part") {
        QVERIFY(QFile::remove(part(1)));
        QVERIFY(QFile::link(dir.filePath("private"), part(1)));
    } else if (attack == "linked gnu part") {
        folder = dir.filePath("gnu");
        QVERIFY(QDir(dir.path()).mkdir("gnu"));
        QCOMPARE(RunToEnd("split", {"-b", "65536", "../my file.bin", "x"}, {}, QProcessEnvironment::systemEnvironment(), folder).status, 0);
        QVERIFY(QFile::remove(folder + "/xab"));
        QVERIFY(QFile::link(dir.filePath("private"), folder + "/xab"));
        joined = folder + "/joined";
        args = QStringList{"-o", joined, folder + "/xaa"};
    } else if (attack == "many volumes") {
        folder = dir.filePath("many");
        QVERIFY(QDir(dir.path()).mkdir("many"));
        for (int i = 0; i < 50000; ++i)
            QVERIFY(write(folder + QStringLiteral("/v%1.001").arg(i), {}));
        joined = dir.filePath("joined");
        args = QStringList{"-o", joined, folder};
    } else if (attack == "7z short") {
        // A 7-Zip start header for an archive of the whole, in volumes
        // of 90000 bytes, the last one deleted.
        QByteArray archive = data;
        const QByteArray fields = par2forge::number(std::uint64_t(archive.size() - 32 - 20), 8) + par2forge::number(20, 8)
                                  + par2forge::number(0, 4);
        archive.replace(0, 32, QByteArray("7z\xBC\xAF\x27\x1C\x00\x04", 8) + par2forge::number(par2forge::crc32(fields), 4) + fields);
        folder = dir.filePath("7z");
        QVERIFY(QDir(dir.path()).mkdir("7z"));
        for (int n = 0; n < 3; ++n)
            QVERIFY(write(folder + QStringLiteral("/arch.7z.%1").arg(n + 1, 3, 10, QLatin1Char('0')), archive.mid(n * 90000, 90000)));
        joined = folder + "/arch.7z";
        args = QStringList{"-o", joined, folder + "/arch.7z.001"};
    }
    const QStringList before = filesIn(folder);

    const ProgramRun join = joinCapped(args, folder);
    const QByteArray told = join.out + join.err;
    QVERIFY2(join.status == status, told.constData());
    QVERIFY2(told.contains(said.toUtf8()), told.constData());
    // What a user could lose: the files beside the parts, a part the
    // checksum file vouches for, and the joined file's trust.
    QCOMPARE(contents(parts + "/notes.txt"), QByteArray("keep me"));
    QCOMPARE(contents(parts + "/my file.bin.sha256"), sums);
    QCOMPARE(contents(parts + "/merge.sh"), merge);
    if (attack == "later part")
        QCOMPARE(contents(part(4)), genuine(4));
    QCOMPARE(contents(joined) == expected, status == 0);
    QCOMPARE(QFile::exists(joined), status == 0);
    // Nothing left behind but parts that were rebuilt, and nothing anywhere
    // holds the user's private bytes.
    for (const QString& name : filesIn(folder)) {
        QVERIFY2(before.contains(name) || name.startsWith("my file.bin.!") || name.startsWith("arch.bin.0")
                     || name == QFileInfo(joined).fileName(),
                 qPrintable(name));
        QVERIFY2(isLink(folder + "/" + name) || !contents(folder + "/" + name).contains("the user's secret"),
                 qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(tst_HostileSets)
#include "tst_hostilesets.moc"
