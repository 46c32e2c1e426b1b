#include "split/splitrequest.h"
#include "split/splittexts.h"
#include "split/recordingview.h"

#include <QTest>

using darvolt::RequestStatus;
using darvolt::SizeMode;
using darvolt::ParseCustomSize;
using darvolt::SizeModeFromRadios;

Q_DECLARE_METATYPE(SizeMode)
Q_DECLARE_METATYPE(RequestStatus)

class tst_SplitRequest : public QObject {
    Q_OBJECT

private slots:
    void customSize_data();
    void customSize();
    void radiosAreTestedStandardThenSpanThenCustom();
    void request_data();
    void request();
    void requestTakesFolderAndNameFromField();
};

void tst_SplitRequest::customSize_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("kb"); // 0: rejected
    QTest::newRow("plain") << QByteArray("100") << qint64(100);
    QTest::newRow("leading blank") << QByteArray(" 100") << qint64(100);
    QTest::newRow("leading blanks") << QByteArray("    7") << qint64(7);
    QTest::newRow("plus") << QByteArray("+7") << qint64(7);
    QTest::newRow("hex") << QByteArray("$10") << qint64(16);
    QTest::newRow("hex lower") << QByteArray("$ff") << qint64(255);
    QTest::newRow("hex upper after blank") << QByteArray(" $FF") << qint64(255);
    QTest::newRow("above the old 32-bit ceiling") << QByteArray("2097152") << qint64(2097152);
    QTest::newRow("4 GiB parts") << QByteArray("4194304") << qint64(4194304);
    QTest::newRow("largest whose bytes fit") << QByteArray("9007199254740991") << qint64(9007199254740991);
    QTest::newRow("bytes would overflow") << QByteArray("9007199254740992") << qint64(0);
    QTest::newRow("far too many digits") << QByteArray("99999999999999999999999") << qint64(0);
    QTest::newRow("trailing blank") << QByteArray("100 ") << qint64(0);
    QTest::newRow("letters") << QByteArray("abc") << qint64(0);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("hex zero") << QByteArray("$0") << qint64(0);
    QTest::newRow("negative") << QByteArray("-5") << qint64(0);
    QTest::newRow("minus zero") << QByteArray("-0") << qint64(0);
    QTest::newRow("empty") << QByteArray("") << qint64(0);
    QTest::newRow("blank") << QByteArray(" ") << qint64(0);
    QTest::newRow("sign only") << QByteArray("+") << qint64(0);
    QTest::newRow("dollar only") << QByteArray("$") << qint64(0);
    QTest::newRow("signed hex") << QByteArray("$-1") << qint64(0);
    QTest::newRow("C hex") << QByteArray("0x10") << qint64(0);
    QTest::newRow("tab is not a blank") << QByteArray("\t5") << qint64(0);
    QTest::newRow("decimal point") << QByteArray("1.5") << qint64(0);
    QTest::newRow("blank inside") << QByteArray("1 0") << qint64(0);
}

void tst_SplitRequest::customSize()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, kb);
    const auto parsed = ParseCustomSize(text.toStdString());
    QCOMPARE(parsed.has_value(), kb != 0);
    if (parsed)
        QCOMPARE(*parsed, kb);
}

void tst_SplitRequest::radiosAreTestedStandardThenSpanThenCustom()
{
    QCOMPARE(SizeModeFromRadios(true, false, false), SizeMode::StandardDiskette);
    QCOMPARE(SizeModeFromRadios(false, true, false), SizeMode::CustomSize);
    QCOMPARE(SizeModeFromRadios(false, false, true), SizeMode::SpanDiskettes);
    QCOMPARE(SizeModeFromRadios(true, true, true), SizeMode::StandardDiskette);
    QCOMPARE(SizeModeFromRadios(false, true, true), SizeMode::SpanDiskettes);
    QCOMPARE(SizeModeFromRadios(false, false, false), SizeMode::CustomSize);
}

void tst_SplitRequest::request_data()
{
    QTest::addColumn<SizeMode>("mode");
    QTest::addColumn<QByteArray>("custom");
    QTest::addColumn<qint64>("sourceSize");
    QTest::addColumn<RequestStatus>("status");
    QTest::addColumn<qint64>("partSize");

    const auto ready = RequestStatus::Ready;
    const auto large = RequestStatus::TooLarge;
    const auto rejected = RequestStatus::CustomSizeRejected;
    QTest::newRow("standard") << SizeMode::StandardDiskette << QByteArray() << qint64(3000000) << ready << qint64(1457664);
    QTest::newRow("standard equal") << SizeMode::StandardDiskette << QByteArray() << qint64(1457664) << large << qint64(1457664);
    QTest::newRow("standard one more") << SizeMode::StandardDiskette << QByteArray() << qint64(1457665) << ready << qint64(1457664);
    QTest::newRow("standard unknown size") << SizeMode::StandardDiskette << QByteArray() << qint64(3) << large << qint64(1457664);
    QTest::newRow("span empty file") << SizeMode::SpanDiskettes << QByteArray() << qint64(0) << large << qint64(0);
    QTest::newRow("span unknown size") << SizeMode::SpanDiskettes << QByteArray() << qint64(3) << ready << qint64(0);
    QTest::newRow("span one byte") << SizeMode::SpanDiskettes << QByteArray() << qint64(1) << ready << qint64(0);
    QTest::newRow("custom") << SizeMode::CustomSize << QByteArray(" 100") << qint64(102401) << ready << qint64(102400);
    QTest::newRow("custom equal") << SizeMode::CustomSize << QByteArray("100") << qint64(102400) << large << qint64(102400);
    QTest::newRow("custom hex") << SizeMode::CustomSize << QByteArray("$10") << qint64(20000) << ready << qint64(16384);
    QTest::newRow("custom rejected before size")
        << SizeMode::CustomSize << QByteArray("abc") << qint64(0) << rejected << qint64(0);
    QTest::newRow("custom 4 GiB of a 5 GB file")
        << SizeMode::CustomSize << QByteArray("4194304") << qint64(5000000000) << ready << qint64(4294967296);
    QTest::newRow("custom text ignored in standard")
        << SizeMode::StandardDiskette << QByteArray("abc") << qint64(3000000) << ready << qint64(1457664);
}

void tst_SplitRequest::request()
{
    QFETCH(SizeMode, mode);
    QFETCH(QByteArray, custom);
    QFETCH(qint64, sourceSize);
    QFETCH(RequestStatus, status);
    QFETCH(qint64, partSize);

    RecordingView view;
    const auto result = darvolt::BuildSplitRequest("/data/report.doc", mode, custom.toStdString(), sourceSize, view);
    QCOMPARE(result.status, status);
    if (status != RequestStatus::CustomSizeRejected)
        QCOMPARE(result.request.partSize, partSize);
    if (status == RequestStatus::TooLarge)
        QCOMPARE(view.log, std::vector<std::string>{"error " + std::string(darvolt::texts::SizeTooLarge)});
    else
        QVERIFY(view.log.empty());
}

void tst_SplitRequest::requestTakesFolderAndNameFromField()
{
    RecordingView view;
    const auto result = darvolt::BuildSplitRequest("/Data/Report.Doc", SizeMode::SpanDiskettes, "", 10, view);
    QCOMPARE(result.request.sourceFolder, std::string("/Data/"));
    QCOMPARE(result.request.sourceName, std::string("Report.Doc"));
    const auto bare = darvolt::BuildSplitRequest("report.doc", SizeMode::SpanDiskettes, "", 10, view);
    QCOMPARE(bare.request.sourceFolder, std::string());
    QCOMPARE(bare.request.sourceName, std::string("report.doc"));
}

QTEST_GUILESS_MAIN(tst_SplitRequest)
#include "tst_splitrequest.moc"
