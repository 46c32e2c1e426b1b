// Every failure of a folder-mode run, through the fake: the dialog and its
// exact text, what stays on disk, and that the source is untouched.

#include "platform/fakeplatform.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QTest>

using darvolt::FakePlatform;
using darvolt::SplitOutcome;
using Op = FakePlatform::Operation;
namespace error = darvolt::error;
namespace texts = darvolt::texts;

using Setup = void (*)(FakePlatform&);
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(SplitOutcome)

namespace {

const std::string Source = "/data/report.doc";
const std::string Output = "/data/REPORT_PARTS/";
const std::string Data = patternBytes(5000, 3); // parts of 2048, 2048 and 904 bytes

std::string part(int n) { return Output + "report.doc.!0" + std::to_string(n); }

void addSource(FakePlatform& fake) { fake.addFile(Source, Data); }

} // namespace

class tst_SplitFailures : public QObject {
    Q_OBJECT

private slots:
    void failureIsReportedAndLeavesSourceAlone_data();
    void failureIsReportedAndLeavesSourceAlone();
};

void tst_SplitFailures::failureIsReportedAndLeavesSourceAlone_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("dialog"); // the one dialog expected, "kind text"
    QTest::addColumn<SplitOutcome>("outcome");
    QTest::addColumn<QList<int>>("partSizes"); // what stays on disk, part by part

    const QString notFound = "error " + QString::fromStdString(texts::sourceNotFound("/data/report.doc", true));
    QCOMPARE(notFound, QString("error File /DATA/REPORT.DOC not found"));
    const QString folderFailed = "error " + QString::fromStdString(std::string(texts::OutputFolderFailed));
    const QString cannotOpen1 = "error Cannot open output file /DATA/REPORT_PARTS/REPORT.DOC.!01. Split execution failed.";
    const QString readFailed = "error     Error reading file. Split execution failed.    ";
    const QString writeFailed = "error     Error writing file. Split execution failed.    ";
    const QString scriptFailed = "message Error writing file /data/REPORT_PARTS/MERGE.BAT";
    const auto failed = SplitOutcome::Failed;

    QTest::newRow("source missing") << Setup([](FakePlatform&) {}) << notFound << failed << QList<int>{};
    QTest::newRow("source missing where names tell cases apart")
        << Setup([](FakePlatform& f) { f.setCaseSensitive(true); }) << "error File /data/report.doc not found" << failed
        << QList<int>{};
    QTest::newRow("source held by another program")
        << Setup([](FakePlatform& f) { addSource(f); f.setLocked(Source); }) << notFound << failed << QList<int>{};
    QTest::newRow("source is a FIFO")
        << Setup([](FakePlatform& f) { f.addSpecialFile(Source); }) << notFound << failed << QList<int>{};
    QTest::newRow("source is a folder")
        << Setup([](FakePlatform& f) { f.addDirectory(Source); }) << notFound << failed << QList<int>{};
    QTest::newRow("output folder name taken by a file")
        << Setup([](FakePlatform& f) { addSource(f); f.addFile("/data/REPORT_PARTS", "x"); })
        << folderFailed << failed << QList<int>{};
    QTest::newRow("output folder cannot be made")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::MakeDirectory, 1, error::AccessDenied); })
        << folderFailed << failed << QList<int>{};
    QTest::newRow("second part cannot be created")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::CreateFile, 2, error::AccessDenied); })
        << cannotOpen1 << failed << QList<int>{2048};
    QTest::newRow("part exists read-only")
        << Setup([](FakePlatform& f) { addSource(f); f.addFile(part(1), "old"); f.setReadOnly(part(1)); })
        << cannotOpen1 << failed << QList<int>{2048, 3};
    // Folder mode ends the run at once, so no text that promises a retry.
    QTest::newRow("write-protected in folder mode ends the run")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::CreateFile, 2, error::WriteProtected); })
        << cannotOpen1 << failed << QList<int>{2048};
    QTest::newRow("not ready in folder mode ends the run")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::CreateFile, 1, error::NotReady); })
        << "error Cannot open output file /DATA/REPORT_PARTS/REPORT.DOC.!00. Split execution failed." << failed
        << QList<int>{};
    QTest::newRow("read error keeps the partial part")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::Read, 4, error::DeviceError); })
        << readFailed << failed << QList<int>{2048, 1024};
    QTest::newRow("write error")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::Write, 3, error::DiskFull); })
        << writeFailed << failed << QList<int>{2048, 0};
    QTest::newRow("short write is a write error")
        << Setup([](FakePlatform& f) { addSource(f); f.storeShortWrite(2, 100); })
        << writeFailed << failed << QList<int>{1124};
    QTest::newRow("part close fails")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::Close, 1, error::DeviceError); })
        << writeFailed << failed << QList<int>{2048};
    QTest::newRow("script cannot be created")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::CreateFile, 4, error::AccessDenied); })
        << scriptFailed << SplitOutcome::ScriptFailed << QList<int>{2048, 2048, 904};
    QTest::newRow("script line fails")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::Write, 8, error::DiskFull); })
        << scriptFailed << SplitOutcome::ScriptFailed << QList<int>{2048, 2048, 904};
    QTest::newRow("script line stored short")
        << Setup([](FakePlatform& f) { addSource(f); f.storeShortWrite(14, 3); })
        << scriptFailed << SplitOutcome::ScriptFailed << QList<int>{2048, 2048, 904};
    QTest::newRow("script close fails")
        << Setup([](FakePlatform& f) { addSource(f); f.failCall(Op::Close, 4, error::DeviceError); })
        << scriptFailed << SplitOutcome::ScriptFailed << QList<int>{2048, 2048, 904};
    const QString sumsFailed = "message Error writing file /data/REPORT_PARTS/report.doc.sha256";
    QTest::newRow("a folder where the checksum file goes")
        << Setup([](FakePlatform& f) { addSource(f); f.addDirectory("/data/REPORT_PARTS/report.doc.sha256"); })
        << sumsFailed << SplitOutcome::ScriptFailed << QList<int>{2048, 2048, 904};
    QTest::newRow("checksum file meets a full disk")
        << Setup([](FakePlatform& f) {
               addSource(f);
               f.failFileCall("/data/REPORT_PARTS/report.doc.sha256", Op::Write, 1, error::DiskFull);
           })
        << sumsFailed << SplitOutcome::ScriptFailed << QList<int>{2048, 2048, 904};
}

void tst_SplitFailures::failureIsReportedAndLeavesSourceAlone()
{
    QFETCH(Setup, setup);
    QFETCH(QString, dialog);
    QFETCH(SplitOutcome, outcome);
    QFETCH(QList<int>, partSizes);

    FakePlatform fake;
    fake.addDirectory("/data");
    setup(fake);
    const bool sourceIsFile = fake.hasFile(Source);
    const std::string before = fake.contents(Source);
    RecordingView view;
    darvolt::SplitOptions options;
    options.blockSize = 1024;

    QCOMPARE(SplitFile(fake, view, {"report.doc", "/data/", 2048}, options).outcome, outcome);

    QCOMPARE(view.dialogs(), std::vector<std::string>{dialog.toStdString()});
    for (int i = 0; i < partSizes.size(); ++i) {
        QVERIFY2(fake.hasFile(part(i)), part(i).c_str());
        QCOMPARE(int(fake.contents(part(i)).size()), partSizes[i]);
        if (partSizes[i] > 3)
            QVERIFY(fake.contents(part(i)) == Data.substr(std::size_t(i) * 2048, std::size_t(partSizes[i])));
    }
    QVERIFY(!fake.hasFile(part(int(partSizes.size()))));
    const bool completed = outcome == SplitOutcome::ScriptFailed;
    // Never a partial script or checksum file: the one the message names is gone.
    QVERIFY(!fake.hasFile(Output + (dialog.endsWith(".sha256") ? "report.doc.sha256" : "MERGE.BAT")));
    QCOMPARE(fake.fileManagerLaunches().size(), std::size_t(completed ? 1 : 0));
    if (partSizes.isEmpty() && dialog.contains("not found"))
        QVERIFY(!fake.hasDirectory("/data/REPORT_PARTS")); // nothing touched
    if (sourceIsFile) {
        QVERIFY(fake.contents(Source) == before);
        QCOMPARE(fake.changeCount(Source), std::uint64_t(0));
    }
    QCOMPARE(fake.openFiles(), 0);
}

QTEST_GUILESS_MAIN(tst_SplitFailures)
#include "tst_splitfailures.moc"
