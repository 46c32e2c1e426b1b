#include "platform/fakeplatform.h"
#include "parts/partnaming.h"

#include <QTest>

#include <set>

using namespace darvolt;

class tst_PartNaming : public QObject {
    Q_OBJECT

private slots:
    void stripExtension_data();
    void stripExtension();
    void outputFolder_data();
    void outputFolder();
    void sourcePathSplitsAtLastSlashOnly_data();
    void sourcePathSplitsAtLastSlashOnly();
    void partNumber_data();
    void partNumber();
    void prefixEndsInSlashForFolderAndDrive();
    void upperCaseTouchesOnlyAsciiLetters();
    void isPartOf_data();
    void isPartOf();
    void clearFolderDeletesOnlyThisSourcesPartsAndScript();
    void clearFolderIgnoresWhatCannotBeDeleted();
};

void tst_PartNaming::stripExtension_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("extension") << QByteArray("report.doc") << QByteArray("report");
    QTest::newRow("last dot only") << QByteArray("archive.tar.gz") << QByteArray("archive.tar");
    QTest::newRow("no dot") << QByteArray("README") << QByteArray("README");
    QTest::newRow("dot file") << QByteArray(".profile") << QByteArray("");
    QTest::newRow("dot in folder") << QByteArray("/a.b/c") << QByteArray("/a");
    QTest::newRow("blanks only") << QByteArray("   ") << QByteArray("");
    QTest::newRow("control bytes only") << QByteArray("\t \n") << QByteArray("");
    QTest::newRow("not trimmed") << QByteArray(" x.y ") << QByteArray(" x");
    QTest::newRow("trailing dot") << QByteArray("a.") << QByteArray("a");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
}

void tst_PartNaming::stripExtension()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(StripExtension(text.toStdString())), expected);
}

void tst_PartNaming::outputFolder_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("report") << QByteArray("/data/report.doc") << QByteArray("/data/REPORT_PARTS");
    QTest::newRow("existing path keeps its case")
        << QByteArray("/Home/My Docs/Report.Doc") << QByteArray("/Home/My Docs/REPORT_PARTS");
    QTest::newRow("tar.gz") << QByteArray("/x/archive.tar.gz") << QByteArray("/x/ARCHIVE.TAR_PARTS");
    QTest::newRow("no dot") << QByteArray("/x/README") << QByteArray("/x/README_PARTS");
    QTest::newRow("dot file") << QByteArray("/home/u/.profile") << QByteArray("/home/u/_PARTS");
    QTest::newRow("dotted folder, bare name")
        << QByteArray("/my.dir/README") << QByteArray("/my.dir/README_PARTS");
    QTest::newRow("relative") << QByteArray("report.doc") << QByteArray("REPORT_PARTS");
    QTest::newRow("non-ASCII bytes kept")
        << QByteArray("/d/\xc3\xa9t\xc3\xa9.txt") << QByteArray("/d/\xc3\xa9T\xc3\xa9_PARTS");
    QTest::newRow("colon is ordinary") << QByteArray("C:report.doc") << QByteArray("C:REPORT_PARTS");
}

void tst_PartNaming::outputFolder()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(darvolt::OutputFolderForField(field.toStdString())), expected);
    const auto source = darvolt::SplitSourcePath(field.toStdString());
    QCOMPARE(QByteArray::fromStdString(OutputFolder(source.folder, source.name)), expected);
}

void tst_PartNaming::sourcePathSplitsAtLastSlashOnly_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("absolute") << QByteArray("/data/report.doc") << QByteArray("/data/") << QByteArray("report.doc");
    QTest::newRow("bare") << QByteArray("report.doc") << QByteArray("") << QByteArray("report.doc");
    QTest::newRow("root") << QByteArray("/report.doc") << QByteArray("/") << QByteArray("report.doc");
    QTest::newRow("folder only") << QByteArray("/data/") << QByteArray("/data/") << QByteArray("");
    QTest::newRow("colons") << QByteArray("a:b/c:d") << QByteArray("a:b/") << QByteArray("c:d");
    QTest::newRow("backslash is a name byte") << QByteArray("/x/a\\b") << QByteArray("/x/") << QByteArray("a\\b");
}

void tst_PartNaming::sourcePathSplitsAtLastSlashOnly()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, name);
    const auto source = darvolt::SplitSourcePath(field.toStdString());
    QCOMPARE(QByteArray::fromStdString(source.folder), folder);
    QCOMPARE(QByteArray::fromStdString(source.name), name);
}

void tst_PartNaming::partNumber_data()
{
    QTest::addColumn<qint64>("counter");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0") << qint64(0) << QByteArray("00");
    QTest::newRow("9") << qint64(9) << QByteArray("09");
    QTest::newRow("10") << qint64(10) << QByteArray("10");
    QTest::newRow("99") << qint64(99) << QByteArray("99");
    QTest::newRow("100") << qint64(100) << QByteArray("100");
    QTest::newRow("1234") << qint64(1234) << QByteArray("1234");
}

void tst_PartNaming::partNumber()
{
    QFETCH(qint64, counter);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(PartNumber(counter)), expected);
    QCOMPARE(QByteArray::fromStdString(darvolt::BarePartName("a.b", counter)), "a.b.!" + expected);
}

void tst_PartNaming::prefixEndsInSlashForFolderAndDrive()
{
    QCOMPARE(PartPrefix(1457664, "/data/REPORT_PARTS", "/media/floppy0"), std::string("/data/REPORT_PARTS/"));
    QCOMPARE(PartPrefix(0, "/data/REPORT_PARTS", "/media/floppy0"), std::string("/media/floppy0/"));
    QCOMPARE(PartPrefix(0, "", "/"), std::string("/"));
}

void tst_PartNaming::upperCaseTouchesOnlyAsciiLetters()
{
    QCOMPARE(UpperCaseAscii("az AZ 09 \xe4\xf6\xfc"), std::string("AZ AZ 09 \xe4\xf6\xfc"));
}

void tst_PartNaming::isPartOf_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("part");
    QTest::newRow("00") << QByteArray("report.doc.!00") << true;
    QTest::newRow("99") << QByteArray("report.doc.!99") << true;
    QTest::newRow("104") << QByteArray("report.doc.!104") << true;
    QTest::newRow("one digit") << QByteArray("report.doc.!5") << false;
    QTest::newRow("leading zero of three") << QByteArray("report.doc.!007") << false;
    QTest::newRow("letters") << QByteArray("report.doc.!0a") << false;
    QTest::newRow("no number") << QByteArray("report.doc.!") << false;
    QTest::newRow("other source") << QByteArray("report.docx.!00") << false;
    QTest::newRow("other case") << QByteArray("REPORT.DOC.!00") << false;
    QTest::newRow("source itself") << QByteArray("report.doc") << false;
    QTest::newRow("suffix") << QByteArray("report.doc.!00.bak") << false;
}

void tst_PartNaming::isPartOf()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, part);
    QCOMPARE(darvolt::IsPartOf(entry.toStdString(), "report.doc"), part);
}

void tst_PartNaming::clearFolderDeletesOnlyThisSourcesPartsAndScript()
{
    FakePlatform fake;
    const std::string folder = "/data/REPORT_PARTS";
    for (const char* name : {"report.doc.!00", "report.doc.!01", "report.doc.!100", "MERGE.BAT",
                             "notes.txt", "merge.bat", "other.bin.!00", "report.doc", "report.doc.vol3+12.par2",
                             "report.doc.par2", "report.par2", "report.doc.vol1.par2", "other.bin.par2",
                             "report.doc.par2.txt", "report.doc.!00.1"})
        fake.addFile(folder + "/" + name, "x");
    fake.addFile(folder + "/sub/report.doc.!02", "kept");

    // The scripts, then the recovery data, then the parts.
    const auto order = EarlierRunFiles(fake, folder, "report.doc");
    QCOMPARE(order.front(), std::string("MERGE.BAT"));
    QCOMPARE(std::set<std::string>(order.begin() + 1, order.begin() + 3),
             (std::set<std::string>{"report.doc.par2", "report.doc.vol3+12.par2"}));
    QCOMPARE(order.size(), std::size_t(6));

    ClearFolder(fake, folder, "report.doc");

    for (const char* gone : {"report.doc.!00", "report.doc.!01", "report.doc.!100", "MERGE.BAT", "report.doc.par2",
                             "report.doc.vol3+12.par2"})
        QVERIFY2(!fake.hasFile(folder + "/" + gone), gone);
    for (const char* kept : {"notes.txt", "merge.bat", "other.bin.!00", "report.doc", "sub/report.doc.!02",
                             "report.par2", "report.doc.vol1.par2", "other.bin.par2", "report.doc.par2.txt",
                             "report.doc.!00.1"})
        QVERIFY2(fake.hasFile(folder + "/" + kept), kept);
    QVERIFY(fake.hasDirectory(folder + "/sub"));
}

void tst_PartNaming::clearFolderIgnoresWhatCannotBeDeleted()
{
    FakePlatform fake;
    const std::string folder = "/d/A_PARTS";
    fake.addFile(folder + "/a.!00", "x");
    fake.addFile(folder + "/a.!01", "x");
    fake.addFile(folder + "/a.!02", "x");
    fake.setLocked(folder + "/a.!00");
    fake.setReadOnly(folder + "/a.!01");

    ClearFolder(fake, folder, "a");
    QVERIFY(fake.hasFile(folder + "/a.!00"));
    QVERIFY(fake.hasFile(folder + "/a.!01"));
    QVERIFY(!fake.hasFile(folder + "/a.!02"));

    // A folder that cannot be listed is left alone without complaint.
    fake.failCall(FakePlatform::Operation::ListDirectory, 2, darvolt::error::AccessDenied);
    fake.addFile(folder + "/a.!03", "x");
    ClearFolder(fake, folder, "a");
    QVERIFY(fake.hasFile(folder + "/a.!03"));
}

QTEST_GUILESS_MAIN(tst_PartNaming)
#include "tst_partnaming.moc"
