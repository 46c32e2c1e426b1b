// darvolt-join on sets that other tools made: GNU split and 7z a -v run
// here, a .crc file written as Windows file managers write it, lists of
// md5sum and sha*sum; then thinned, damaged or crowded. Whatever it says,
// it never reports success over bytes that are not the file's.

#include "support/programrun.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

ProgramRun shell(const QString& script, const QString& folder)
{
    return RunToEnd("/bin/sh", {"-c", script}, {}, QProcessEnvironment::systemEnvironment(), folder);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// The .crc file of data split into data.001 ...: the CRC32 as 7z reckons it.
const QString CrcOfData = "crc=$(7z h -scrcCRC32 data | sed -n 's/^CRC32 *for data: *//p') && "
                          "printf 'filename=data\\r\\nsize=%s\\r\\ncrc32=%s\\r\\n' $(stat -c %s data) $crc > data.crc";
const QString CrcSet = "split -d -a 3 --numeric-suffixes=1 -b 100000 data data. && " + CrcOfData + " && rm data";
const QString Letters = "split -b 100000 data && rm data";
const QString Damage = " && printf '#' | dd of=xab bs=1 seek=99 conv=notrunc 2>/dev/null";

} // namespace

class tst_ForeignSets : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void joinsAndChecksWhatOtherToolsMade_data();
    void joinsAndChecksWhatOtherToolsMade();
};

void tst_ForeignSets::initTestCase()
{
    if (QStandardPaths::findExecutable("7z").isEmpty())
        QSKIP("7z not installed (tools/setup-deps.sh test installs p7zip-full)");
}

void tst_ForeignSets::joinsAndChecksWhatOtherToolsMade_data()
{
    QTest::addColumn<QString>("make");     // in the folder that holds "data", by sh
    QTest::addColumn<QStringList>("args"); // darvolt-join's
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");     // in what it printed
    QTest::addColumn<QString>("joined");   // where the file is when the status is 0; "x.7z" is tested by 7z

    const QString gnu = "Recognised a GNU split set: 4 parts, xaa to xad; ";
    QTest::newRow("GNU split, letters") << Letters << QStringList{"-o", "out", "xab"} << 0
                                        << gnu + "no checksum to check them with\nFile out joined from 4 parts\n"
                                        << "out";
    QTest::newRow("GNU split, no name for the file") << Letters << QStringList{"xab"} << 2
                                                     << "a GNU split set, and such parts do not carry the name of the "
                                                        "file they were cut from: name the joined file with --output "
                                                        "FILE\nTry 'darvolt-join --help' for more information.\n"
                                                     << "";
    QTest::newRow("GNU split, named by its prefix") << "mv data photo.jpg && split -b 100000 photo.jpg photo.jpg. && rm photo.jpg"
                                                    << QStringList{"photo.jpg.ab"} << 0
                                                    << "The joined file is named photo.jpg, as the parts' names begin"
                                                    << "photo.jpg";
    QTest::newRow("GNU split, a prefix that only suggests a name")
        << "split -b 100000 data small.bin.part- && rm data" << QStringList{"small.bin.part-ab"} << 2
        << "(perhaps small.bin): name the joined file with --output FILE" << "";
    QTest::newRow("GNU split, from their folder") << "mkdir p && split -b 100000 data p/x && rm data"
                                                  << QStringList{"-o", "out", "p"} << 0
                                                  << gnu + "no checksum to check them with\nFile out joined" << "out";
    QTest::newRow("GNU split, the last part as large as the others")
        << "split -n 4 data && rm data" << QStringList{"-o", "out", "xab"} << 0
        << "Part xad holds 75172 bytes, as many as the parts before it, and nothing beside the parts tells how many "
           "there are"
        << "out";
    QTest::newRow("GNU split, MD5 and SHA-256 of the same parts")
        << Letters + " && md5sum x?? > p.md5 && sha256sum x?? > p.sha256" << QStringList{"-o", "out", "xab"} << 0
        << "checked with p.sha256 (SHA-256 of every part)" << "out";
    QTest::newRow("GNU split, digits widened past x89") << "split -d -b 3000 data part. && rm data"
                                                        << QStringList{"-o", "out", "part.9005"} << 0
                                                        << "101 parts, part.00 to part.9010" << "out";
    QTest::newRow("GNU split, widened digits, an early part lost")
        << "split -d -b 3000 data part. && rm data part.05" << QStringList{"-o", "out", "part.9005"} << 4
        << "darvolt-join: Part part.05 is missing" << "";
    QTest::newRow("GNU split, letters widened past xyz") << "split -b 400 data && rm data"
                                                         << QStringList{"-o", "out", "xzaab"} << 0
                                                         << "752 parts, xaa to xzadx" << "out";
    QTest::newRow("GNU split, hex, -a 3, additional suffix")
        << "split -x -a 3 --additional-suffix=.chunk -b 20000 data h && rm data" << QStringList{"-o", "out", "h00a.chunk"}
        << 0 << "16 parts, h000.chunk to h00f.chunk" << "out";
    QTest::newRow("GNU split, a part missing") << Letters + " && rm xab" << QStringList{"-o", "out", "xac"} << 4
                                               << "darvolt-join: Part xab is missing" << "";
    QTest::newRow("GNU split, MD5 of every part") << Letters + " && md5sum x?? > parts.md5"
                                                  << QStringList{"-o", "out", "xad"} << 0
                                                  << "checked with parts.md5 (MD5 of every part)\nFile out joined from 4 "
                                                     "parts, every part matching its checksum"
                                                  << "out";
    QTest::newRow("GNU split, MD5 of some parts, checked") << Letters + " && md5sum xaa xac xad > parts.md5"
                                                           << QStringList{"--check", "xac"} << 4
                                                           << "xab: 100000 bytes, not checked\nxac: OK" << "";
    QTest::newRow("GNU split, MD5 of a damaged part") << Letters + " && md5sum x?? > parts.md5" + Damage
                                                      << QStringList{"-o", "out", "xad"} << 4
                                                      << "darvolt-join: Part xab is damaged: its MD5 is " << "";
    QTest::newRow("GNU split, SHA-1 in binary mode of escaped names")
        << "split -b 100000 data 'a\\b.' && rm data && sha1sum -b a* > sums.sha1 && grep -q '^\\\\' sums.sha1"
        << QStringList{"-o", "out", "a\\b.ac"} << 0 << "checked with sums.sha1 (SHA-1 of every part)" << "out";
    QTest::newRow("GNU split, SHA-256 of the file, given its name")
        << "sha256sum data > data.sha256 && " + Letters << QStringList{"-o", "data", "xab"} << 0
        << "checked with data.sha256 (SHA-256 of the whole file)\nFile data joined from 4 parts, checked with" << "data";
    QTest::newRow("GNU split, SHA-256 of the file, a part damaged")
        << "sha256sum data > data.sha256 && " + Letters + Damage << QStringList{"-o", "data", "xab"} << 4
        << "darvolt-join: Joined, the parts give SHA-256 " << "";
    QTest::newRow("a list that names the parts and the file tells its name")
        << "split -b 100000 data && sha512sum data x?? > SHA512SUMS && rm data" << QStringList{"xac"} << 0
        << "checked with SHA512SUMS (SHA-512 of every part)" << "data";
    QTest::newRow("two GNU split sets in one folder") << "split -b 100000 data && split -b 50000 data y && rm data"
                                                     << QStringList{"-o", "out", "yac"} << 0
                                                     << "Recognised a GNU split set: 7 parts, yaa to yag" << "out";
    QTest::newRow("7-Zip volumes") << "7z a -mx0 -v100000b arch.7z data >/dev/null && rm data"
                                   << QStringList{"-o", "arch.7z", "arch.7z.003"} << 0
                                   << "Recognised numbered volumes (7-Zip and other splitters): 4 parts, arch.7z.001 to "
                                      "arch.7z.004"
                                   << "arch.7z";
    QTest::newRow("7-Zip volumes, from their folder") << "7z a -mx0 -v100000b arch.7z data >/dev/null && rm data"
                                                     << QStringList{"-o", "arch.7z", "."} << 0 << "arch.7z.001 to"
                                                     << "arch.7z";
    QTest::newRow("7-Zip volumes name their file") << "7z a -mx0 -v100000b arch.7z data >/dev/null"
                                                   << QStringList{"arch.7z.001"} << 0 << "File arch.7z joined from 4 parts"
                                                   << "arch.7z";
    QTest::newRow(".crc set") << CrcSet << QStringList{"data.002"} << 0
                              << "Recognised numbered parts with a .crc file (Windows file managers): 4 parts, data.001 "
                                 "to data.004; checked with data.crc (CRC32 and size of the whole file)"
                              << "data";
    QTest::newRow(".crc set, from the .crc file") << CrcSet << QStringList{"data.crc"} << 0 << "File data joined from 4"
                                                  << "data";
    QTest::newRow(".crc set, checked") << CrcSet << QStringList{"--check", "data.001"} << 0
                                       << "data.004: 688 bytes\ndata (the parts joined): OK\nThe 4 parts of data joined "
                                          "are the file"
                                       << "";
    QTest::newRow(".crc set, the last part lost") << CrcSet + " && rm data.004" << QStringList{"data.001"} << 4
                                                  << "darvolt-join: The parts hold 300000 bytes, but data.crc gives data "
                                                     "300688 bytes"
                                                  << "";
    QTest::newRow(".crc set, a part damaged") << CrcSet + " && printf '#' | dd of=data.002 bs=1 seek=9 conv=notrunc"
                                              << QStringList{"data.001"} << 4
                                              << "darvolt-join: Joined, the parts give CRC32 " << "";
    QTest::newRow(".crc set, a .crc file that names a file elsewhere")
        << CrcSet + " && sed -i 's|filename=data|filename=../escaped|' data.crc" << QStringList{"--force", "data.001"}
        << 1 << "darvolt-join: data.crc is not the .crc file of a split" << "";
    QTest::newRow(".crc set, a size that is no number") << CrcSet + " && sed -i 's|size=300688|size=12abc|' data.crc"
                                                       << QStringList{"data.001"} << 1
                                                       << "darvolt-join: data.crc is not the .crc file of a split" << "";
    QTest::newRow(".crc set, a hidden file's name") << CrcSet + " && sed -i 's|filename=data|filename=.bashrc|' data.crc"
                                                    << QStringList{"data.001"} << 2
                                                    << "The name data.crc gives the joined file, .bashrc, begins with a dot"
                                                    << "";
    QTest::newRow("a lone .001 volume") << "mv data a.bin.001" << QStringList{"a.bin.001"} << 0
                                        << "File a.bin joined from 1 part" << "a.bin";
    QTest::newRow(".crc set, a .crc file that says nothing") << CrcSet + " && echo hello > data.crc"
                                                             << QStringList{"data.001"} << 1
                                                             << "darvolt-join: data.crc is not the .crc file of a split"
                                                             << "";
}

void tst_ForeignSets::joinsAndChecksWhatOtherToolsMade()
{
    QFETCH(QString, make);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QString, joined);
    QTemporaryDir dir;
    QByteArray data(300000 + 688, Qt::Uninitialized);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 11 + i / 3001);
    QFile source(dir.filePath("data"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
    source.close();
    const ProgramRun made = shell(make, dir.path());
    QVERIFY2(made.status == 0, made.err.constData());

    const ProgramRun run = RunToEnd(DARVOLT_JOIN_PROGRAM, args, {}, QProcessEnvironment::systemEnvironment(), dir.path());
    const QByteArray told = run.out + run.err;
    QVERIFY2(run.status == status, told.constData());
    QVERIFY2(told.contains(said.toUtf8()), told.constData());
    QCOMPARE(QDir(dir.path()).entryList({"*.joining*"}), QStringList());
    QVERIFY(!QFile::exists(dir.filePath("../escaped")));
    if (status != 0 || joined.isEmpty()) {
        QVERIFY(!QFile::exists(dir.filePath("out")));
        return;
    }
    if (joined.endsWith(".7z")) { // the archive the volumes were, as 7z reads it
        const ProgramRun unpacked = RunToEnd("7z", {"x", "-so", joined}, {}, QProcessEnvironment::systemEnvironment(),
                                             dir.path());
        QCOMPARE(unpacked.status, 0);
        QVERIFY(unpacked.out == data);
    } else {
        QVERIFY(contents(dir.filePath(joined)) == data);
    }
}

QTEST_GUILESS_MAIN(tst_ForeignSets)
#include "tst_foreignsets.moc"
