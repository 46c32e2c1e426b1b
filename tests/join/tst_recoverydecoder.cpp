// The program's own decoder for sets that give each part one slice, on
// real files: sets it wrote and sets par2 create wrote, parts lost and
// damaged anywhere, recovery data partly lost or damaged too, too much
// lost, and a set it leaves to par2.

#include "join/partset.h"
#include "join/recoveryset.h"
#include "parts/recoverydecoder.h"
#include "platform/posixplatform.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"
#include "support/par2forge.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>


using namespace darvolt;

class tst_RecoveryDecoder : public QObject {
    Q_OBJECT

private slots:
    void rebuildsWhatTheSetAllows_data();
    void rebuildsWhatTheSetAllows();
};

using End = RecoveryDecoded::End;
// A set the decoder leaves to par2.
constexpr int NotForUs = -1;

namespace {

std::uint32_t crcOf(const QByteArray& bytes)
{
    return par2forge::crc32(bytes);
}

} // namespace

void tst_RecoveryDecoder::rebuildsWhatTheSetAllows_data()
{
    QTest::addColumn<QString>("maker");   // "darvolt", "par2", or "par2, two slices a part"
    QTest::addColumn<int>("parts");
    QTest::addColumn<int>("percent");     // recovery slices: parts * percent / 100, at least one
    QTest::addColumn<QList<int>>("lost");
    QTest::addColumn<QList<int>>("damaged");
    QTest::addColumn<QString>("recoveryHarm"); // "", "a volume lost", "a slice damaged"
    QTest::addColumn<int>("end");
    QTest::newRow("one part lost") << "darvolt" << 1 << 100 << QList<int>{0} << QList<int>{} << "" << int(End::Rebuilt);
    QTest::newRow("300 parts: first lost, middle and last damaged")
        << "darvolt" << 300 << 10 << QList<int>{0} << QList<int>{150, 299} << "" << int(End::Rebuilt);
    QTest::newRow("par2 create's set") << "par2" << 20 << 15 << QList<int>{10} << QList<int>{0, 19} << ""
                                       << int(End::Rebuilt);
    QTest::newRow("recovery volume lost") << "darvolt" << 20 << 20 << QList<int>{3} << QList<int>{5} << "a volume lost"
                                          << int(End::Rebuilt);
    QTest::newRow("recovery slice damaged") << "darvolt" << 20 << 20 << QList<int>{3, 4} << QList<int>{}
                                            << "a slice damaged" << int(End::Rebuilt);
    QTest::newRow("more lost than slices") << "darvolt" << 20 << 10 << QList<int>{1, 2, 3} << QList<int>{} << ""
                                           << int(End::Unrepairable);
    QTest::newRow("a part damaged to keep its CRC32")
        << "darvolt" << 20 << 20 << QList<int>{3} << QList<int>{-7} << "" << int(End::Rebuilt);
    QTest::newRow("only a part damaged to keep its CRC32")
        << "darvolt" << 20 << 20 << QList<int>{} << QList<int>{-7} << "" << int(End::Rebuilt);
    QTest::newRow("300 parts: only part 200 lost, the short last one whole")
        << "darvolt" << 300 << 10 << QList<int>{200} << QList<int>{} << "" << int(End::Rebuilt);
    QTest::newRow("nothing lost") << "darvolt" << 5 << 20 << QList<int>{} << QList<int>{} << "" << int(End::Whole);
    QTest::newRow("two slices a part: par2's work") << "par2, two slices a part" << 6 << 50 << QList<int>{1}
                                                    << QList<int>{} << "" << NotForUs;
}

void tst_RecoveryDecoder::rebuildsWhatTheSetAllows()
{
    QFETCH(QString, maker);
    QFETCH(int, parts);
    QFETCH(int, percent);
    QFETCH(QList<int>, lost);
    QFETCH(QList<int>, damaged);
    QFETCH(QString, recoveryHarm);
    QFETCH(int, end);
    if (maker.startsWith(QLatin1String("par2")) && QStandardPaths::findExecutable(QStringLiteral("par2")).isEmpty())
        QSKIP("par2 (par2cmdline) is not installed");

    constexpr int partSize = 4096;
    const std::string bytes = patternBytes(static_cast<std::size_t>(parts) * partSize - 1000, 11);
    QTemporaryDir dir;
    QDir folder(dir.path());
    PosixPlatformOptions quiet;
    quiet.fileManagerCommand.clear();
    PosixPlatform platform(quiet);
    const auto partName = [](int part) { return QStringLiteral("data.bin.!%1").arg(part, 2, 10, QLatin1Char('0')); };
    if (maker == QLatin1String("darvolt")) {
        QFile source(folder.filePath(QStringLiteral("data.bin")));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()));
        source.close();
        RecordingView view;
        SplitOptions options;
        options.openFileManager = false;
        options.recoveryPercent = percent;
        QCOMPARE(int(SplitFile(platform, view, {"data.bin", QFile::encodeName(dir.path()).toStdString() + "/", partSize}, options).outcome),
                 int(SplitOutcome::Done));
        folder.cd(QStringLiteral("DATA_PARTS"));
    } else {
        QStringList names;
        for (int part = 0; part < parts; ++part) {
            QFile file(folder.filePath(partName(part)));
            const auto piece = bytes.substr(std::size_t(part) * partSize, partSize);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(piece.data(), qint64(piece.size())) == qint64(piece.size()));
            names << partName(part);
        }
        const int sliceSize = maker.endsWith(QLatin1String("part")) ? partSize / 2 : partSize;
        const int slices = std::max(1, parts * percent / 100) * (partSize / sliceSize);
        QProcess par2;
        par2.setWorkingDirectory(folder.path());
        par2.start(QStringLiteral("par2"), QStringList{QStringLiteral("create"), QStringLiteral("-q"), QStringLiteral("-s%1").arg(sliceSize),
                                                       QStringLiteral("-c%1").arg(slices), QStringLiteral("--"), QStringLiteral("data.bin.par2")}
                                               + names);
        QVERIFY(par2.waitForFinished(-1) && par2.exitCode() == 0);
    }

    if (recoveryHarm == QLatin1String("a volume lost"))
        QVERIFY(QFile::remove(folder.filePath(QStringLiteral("data.bin.vol0+1.par2"))));
    if (recoveryHarm == QLatin1String("a slice damaged")) {
        QFile volume(folder.filePath(QStringLiteral("data.bin.vol1+2.par2")));
        QVERIFY(volume.open(QIODevice::ReadWrite) && volume.seek(100) && volume.write("#", 1) == 1);
    }
    for (const int part : lost)
        QVERIFY(QFile::remove(folder.filePath(partName(part))));
    for (const int part : damaged) { // a negative number: the damage keeps the CRC32
        QFile file(folder.filePath(partName(std::abs(part))));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const std::uint32_t crc = crcOf(bytes);
        if (part < 0)
            par2forge::damageKeepingCrc(bytes);
        else
            bytes[10] = '#';
        QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        QCOMPARE(crcOf(bytes) == crc, part < 0);
    }

    const std::string where = QFile::encodeName(folder.path()).toStdString();
    const FoundSet found = FindPartSet(platform, where);
    QVERIFY(found.set);
    const RecoveryLookup lookup = FindRecoverySet(platform, *found.set);
    QVERIFY(lookup.usable);
    if (end == NotForUs) {
        QVERIFY(!DecoderCanWork(lookup.usable->set));
        return;
    }
    QVERIFY(folder.mkdir(QStringLiteral("rebuilt")));
    const RecoveryDecoded result = DecodeRecovery({platform, where, lookup.usable->files, lookup.usable->set, {},
                                                   where + "/rebuilt"});
    QCOMPARE(int(result.end), end);
    QCOMPARE(int(result.missing.size() + result.damaged.size()), int(lost.size() + damaged.size()));
    if (end == int(End::Unrepairable))
        QCOMPARE(result.moreNeeded, qint64(lost.size()) - std::max(1, parts * percent / 100));
    if (end != int(End::Rebuilt))
        return;
    QCOMPARE(int(result.rebuilt.size()), int(lost.size() + damaged.size()));
    for (const std::string& name : result.rebuilt) {
        const QString part = folder.filePath(QString::fromStdString(name));
        QFile::remove(part);
        QVERIFY(QFile::rename(folder.filePath(QStringLiteral("rebuilt/") + QString::fromStdString(name)), part));
    }
    std::string joined;
    for (int part = 0; part < parts; ++part) {
        QFile file(folder.filePath(partName(part)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        joined += file.readAll().toStdString();
    }
    QVERIFY(joined == bytes);
}

QTEST_GUILESS_MAIN(tst_RecoveryDecoder)
#include "tst_recoverydecoder.moc"
