// What the main window shows for the file it is given.

#include "platform/fakeplatform.h"
#include "platform/posixplatform.h"
#include "split/sourcemeasure.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using darvolt::FakePlatform;

using Setup = void (*)(FakePlatform&);
Q_DECLARE_METATYPE(Setup)

class tst_SourceMeasure : public QObject {
    Q_OBJECT

private slots:
    void measure_data();
    void measure();
    void realFifoAndFolderCountAsMissingAndNothingBlocks();
    void realReadOnlyFileIsMeasuredAndLeftAsItWas();
};

void tst_SourceMeasure::measure_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<qint64>("sourceSize");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("splittable");

    QTest::newRow("empty file") << Setup([](FakePlatform& f) { f.addFile("/d/f", ""); }) << true << qint64(0) << "1 kb" << true;
    QTest::newRow("1023 bytes") << Setup([](FakePlatform& f) { f.addFile("/d/f", std::string(1023, 'x')); })
                                << true << qint64(1023) << "1 kb" << true;
    QTest::newRow("1024 bytes") << Setup([](FakePlatform& f) { f.addFile("/d/f", std::string(1024, 'x')); })
                                << true << qint64(1024) << "2 kb" << true;
    QTest::newRow("3000000 bytes") << Setup([](FakePlatform& f) { f.addFile("/d/f", std::string(3000000, 'x')); })
                                   << true << qint64(3000000) << "2930 kb" << true;
    QTest::newRow("in use") << Setup([](FakePlatform& f) { f.addFile("/d/f", "x"); f.setLocked("/d/f"); })
                            << true << qint64(0) << "? (file in use)" << false;
    QTest::newRow("size unknown") << Setup([](FakePlatform& f) { f.addFile("/d/f", "x"); f.setSizeUnknown("/d/f"); })
                                  << true << qint64(3) << "unknown" << true;
    QTest::newRow("missing") << Setup([](FakePlatform&) {}) << false << qint64(0) << "" << false;
    QTest::newRow("folder") << Setup([](FakePlatform& f) { f.addDirectory("/d/f"); }) << false << qint64(0) << "" << false;
    QTest::newRow("FIFO") << Setup([](FakePlatform& f) { f.addSpecialFile("/d/f"); }) << false << qint64(0) << "" << false;
}

void tst_SourceMeasure::measure()
{
    QFETCH(Setup, setup);
    QFETCH(bool, exists);
    QFETCH(qint64, sourceSize);
    QFETCH(QString, text);
    QFETCH(bool, splittable);
    FakePlatform fake;
    setup(fake);
    const auto m = darvolt::MeasureSource(fake, "/d/f");
    QCOMPARE(m.exists, exists);
    QCOMPARE(m.sourceSize, sourceSize);
    QCOMPARE(QString::fromStdString(m.sizeText), text);
    QCOMPARE(m.splittable, splittable);
    QCOMPARE(fake.openFiles(), 0);
    QCOMPARE(fake.changeCount("/d/f"), std::uint64_t(0));
}

void tst_SourceMeasure::realFifoAndFolderCountAsMissingAndNothingBlocks()
{
    QTemporaryDir dir;
    const std::string fifo = QFile::encodeName(dir.filePath("pipe")).toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
    darvolt::PosixPlatform platform;
    QVERIFY(!darvolt::MeasureSource(platform, fifo).exists);
    QVERIFY(!darvolt::MeasureSource(platform, QFile::encodeName(dir.path()).toStdString()).exists);
    QVERIFY(!darvolt::MeasureSource(platform, "/dev/zero").exists);
}

void tst_SourceMeasure::realReadOnlyFileIsMeasuredAndLeftAsItWas()
{
    QTemporaryDir dir;
    const QString name = dir.filePath("ro.bin");
    {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'r'));
    }
    const std::string p = QFile::encodeName(name).toStdString();
    QCOMPARE(::chmod(p.c_str(), 0444), 0);
    struct stat before {};
    ::stat(p.c_str(), &before);
    darvolt::PosixPlatform platform;
    const auto m = darvolt::MeasureSource(platform, p);
    QCOMPARE(m.sizeText, std::string("5 kb"));
    QCOMPARE(m.sourceSize, std::int64_t(5000));
    struct stat after {};
    ::stat(p.c_str(), &after);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

QTEST_GUILESS_MAIN(tst_SourceMeasure)
#include "tst_sourcemeasure.moc"
