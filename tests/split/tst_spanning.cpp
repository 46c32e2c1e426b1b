// Spanning diskettes through the fake's scripted drive.

#include "platform/fakeplatform.h"
#include "split/endofrun.h"
#include "parts/mergescript.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QTest>

using darvolt::FakePlatform;
using darvolt::SplitOutcome;
using Medium = FakePlatform::Medium;
using Op = FakePlatform::Operation;
namespace texts = darvolt::texts;

namespace {

constexpr std::int64_t Diskette = 1457664;
const std::string Source = "/data/report.doc";

std::string prompt(int n) { return "prompt " + texts::diskettePrompt(n); }
std::string error(std::string_view text) { return "error " + std::string(text); }
std::string closing() { return "information File REPORT.DOC spanned. MERGE.BAT placed on the last diskette"; }

// A view whose OK at every prompt after the first changes the diskette, as a
// user swapping diskettes does; failures leave the same diskette for a retry
// unless the script says to change it.
struct Swapper {
    FakePlatform& fake;
    RecordingView view;
    std::vector<bool> answers; // per prompt; OK when past the end
    explicit Swapper(FakePlatform& f) : fake(f)
    {
        view.onPrompt = [this](int n) {
            // A run that keeps asking is a fault: Cancel ends it.
            const bool ok = n < 50 && (n >= static_cast<int>(answers.size()) || answers[std::size_t(n)]);
            if (ok && n > 0)
                fake.changeDiskette();
            return ok;
        };
    }
};

SplitOutcome span(FakePlatform& fake, RecordingView& view)
{
    return SplitFile(fake, view, {"report.doc", "/data/", 0}).outcome;
}

} // namespace

class tst_Spanning : public QObject {
    Q_OBJECT

private slots:
    void twoMillionBytesOnTwoDiskettes();
    void exactFillAsksForOneMoreDiskette();
    void partTakesOnlyTheFreeSpaceAndReplacesItsOldSelf();
    void fullDisketteIsRefusedAndTheSamePartRetried();
    void writeProtectedOrMissingDisketteIsRetried_data();
    void writeProtectedOrMissingDisketteIsRetried();
    void failedFreeSpaceQueryCountsAsFull();
    void cancelAtSecondDisketteKeepsTheFirst();
    void cancelAtFirstPromptCreatesNothing();
    void lastDisketteKeepsRoomForTheScript_data();
    void lastDisketteKeepsRoomForTheScript();
    void spanningWritesNothingBeforeTheFirstPrompt();
};

void tst_Spanning::twoMillionBytesOnTwoDiskettes()
{
    FakePlatform fake;
    const std::string data = patternBytes(2000000);
    fake.addFile(Source, data);
    fake.insertMedia({Medium{}, Medium{}});
    Swapper s(fake);

    QCOMPARE(span(fake, s.view), SplitOutcome::Done);

    const auto first = fake.diskette(0);
    const auto second = fake.diskette(1);
    QCOMPARE(first.size(), std::size_t(1));
    QCOMPARE(first.at("report.doc.!00").size(), std::size_t(Diskette));
    QCOMPARE(second.at("report.doc.!01").size(), std::size_t(542336));
    QVERIFY(first.at("report.doc.!00") + second.at("report.doc.!01") == data);
    QCOMPARE(second.at("MERGE.BAT"), darvolt::MergeScriptText({"report.doc.!00", "report.doc.!01"}, "report.doc"));
    QCOMPARE(s.view.dialogs(), (std::vector<std::string>{prompt(1), prompt(2), closing()}));
    QCOMPARE(prompt(1), std::string("prompt        Insert diskette number 1 into the drive        "));
    QVERIFY(fake.fileManagerLaunches().empty());
    // The bar covers the source first, then each diskette's free space.
    const std::vector<std::string> progress = [&] {
        std::vector<std::string> out;
        for (const auto& e : s.view.log)
            if (e.starts_with("max ") || e.starts_with("pos "))
                out.push_back(e);
        return out;
    }();
    QCOMPARE(progress, (std::vector<std::string>{"max 1953", "pos 0", "max 1423", "pos 0", "max 1423", "pos 0"}));
    QCOMPARE(s.view.position, 529); // 542336 / 1024
    QVERIFY(fake.contents(Source) == data);
    QCOMPARE(fake.changeCount(Source), std::uint64_t(0));
}

void tst_Spanning::exactFillAsksForOneMoreDiskette()
{
    FakePlatform fake;
    const std::string data = patternBytes(Diskette);
    fake.addFile(Source, data);
    fake.insertMedia({Medium{}, Medium{}});
    Swapper s(fake);

    QCOMPARE(span(fake, s.view), SplitOutcome::Done);
    QVERIFY(fake.diskette(0).at("report.doc.!00") == data);
    const auto second = fake.diskette(1);
    QCOMPARE(second.at("report.doc.!01"), std::string());
    QCOMPARE(second.at("MERGE.BAT"), darvolt::MergeScriptText({"report.doc.!00", "report.doc.!01"}, "report.doc"));
    QCOMPARE(s.view.dialogs(), (std::vector<std::string>{prompt(1), prompt(2), closing()}));
}

void tst_Spanning::partTakesOnlyTheFreeSpaceAndReplacesItsOldSelf()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(1500000));
    Medium used;
    used.files = {{"letter.txt", std::string(457664, 'x')}, {"report.doc.!00", std::string(1000, 'o')}};
    fake.insertMedia({used, Medium{}});
    Swapper s(fake);

    QCOMPARE(span(fake, s.view), SplitOutcome::Done);
    const auto first = fake.diskette(0);
    QCOMPARE(first.at("report.doc.!00").size(), std::size_t(1000000)); // the old part's space counted as free
    QCOMPARE(first.at("letter.txt").size(), std::size_t(457664));
    QCOMPARE(fake.diskette(1).at("report.doc.!01").size(), std::size_t(500000));
}

void tst_Spanning::fullDisketteIsRefusedAndTheSamePartRetried()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(3000));
    Medium full;
    full.files = {{"big.bin", std::string(std::size_t(Diskette), 'x')}};
    fake.insertMedia({full, Medium{}});
    Swapper s(fake);
    // Answering the prompt after the full-diskette message inserts the next one.
    s.view.onPrompt = [&](int n) {
        if (n > 0)
            fake.changeDiskette();
        return true;
    };

    QCOMPARE(span(fake, s.view), SplitOutcome::Done);
    QCOMPARE(s.view.dialogs(),
             (std::vector<std::string>{prompt(1), error(texts::DisketteFull), prompt(1), closing()}));
    QCOMPARE(error(texts::DisketteFull), std::string("error      Cannot write to diskette (it is full)     "));
    QCOMPARE(fake.diskette(0).count("report.doc.!00"), std::size_t(0)); // the empty attempt was removed
    QCOMPARE(fake.diskette(1).at("report.doc.!00").size(), std::size_t(3000));
    QCOMPARE(s.view.statuses(), (std::vector<std::string>{"Writing: report.doc.!00", "Writing: report.doc.!00"}));
}

void tst_Spanning::writeProtectedOrMissingDisketteIsRetried_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("message");
    QTest::newRow("write-protected") << int(Medium::State::WriteProtected)
                                     << QString::fromStdString(error(texts::WriteProtected));
    QTest::newRow("missing") << int(Medium::State::Missing) << QString::fromStdString(error(texts::NotReady));
}

void tst_Spanning::writeProtectedOrMissingDisketteIsRetried()
{
    QFETCH(int, state);
    QFETCH(QString, message);
    FakePlatform fake;
    fake.addFile(Source, patternBytes(2000000));
    Medium bad;
    bad.state = Medium::State(state);
    fake.insertMedia({bad, Medium{}, Medium{}});
    RecordingView view;
    view.onPrompt = [&](int n) {
        if (n > 0)
            fake.changeDiskette();
        return true;
    };

    QCOMPARE(span(fake, view), SplitOutcome::Done);
    QCOMPARE(view.dialogs(), (std::vector<std::string>{prompt(1), message.toStdString(), prompt(1), prompt(2), closing()}));
    QVERIFY(fake.diskette(0).empty());
    QCOMPARE(fake.diskette(1).at("report.doc.!00").size(), std::size_t(Diskette));
    QVERIFY(fake.diskette(2).count("MERGE.BAT"));
}

void tst_Spanning::failedFreeSpaceQueryCountsAsFull()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(100));
    fake.insertMedia({Medium{}});
    fake.failCall(Op::DriveFreeBytes, 1, darvolt::error::DeviceError);
    RecordingView view;
    QCOMPARE(span(fake, view), SplitOutcome::Done);
    QCOMPARE(view.dialogs(), (std::vector<std::string>{prompt(1), error(texts::DisketteFull), prompt(1), closing()}));
    QCOMPARE(fake.diskette(0).at("report.doc.!00").size(), std::size_t(100));
}

void tst_Spanning::cancelAtSecondDisketteKeepsTheFirst()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(2000000));
    fake.insertMedia({Medium{}, Medium{}});
    Swapper s(fake);
    s.answers = {true, false};

    QCOMPARE(span(fake, s.view), SplitOutcome::Cancelled);
    QCOMPARE(s.view.dialogs(), (std::vector<std::string>{prompt(1), prompt(2)}));
    QCOMPARE(fake.diskette(0).at("report.doc.!00").size(), std::size_t(Diskette));
    QCOMPARE(fake.diskette(0).count("MERGE.BAT"), std::size_t(0));
    QVERIFY(fake.diskette(1).empty());
    QCOMPARE(fake.openFiles(), 0);
}

void tst_Spanning::cancelAtFirstPromptCreatesNothing()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(10));
    fake.insertMedia({Medium{}});
    RecordingView view;
    view.onPrompt = [](int) { return false; };
    QCOMPARE(span(fake, view), SplitOutcome::Cancelled);
    QVERIFY(fake.diskette(0).empty());
    QCOMPARE(fake.calls(Op::CreateFile), 0);
}

void tst_Spanning::lastDisketteKeepsRoomForTheScript_data()
{
    QTest::addColumn<bool>("checksums");
    QTest::addColumn<bool>("holdsLess"); // the third medium holds only its part, whatever it shows
    QTest::newRow("room kept") << true << false;
    QTest::newRow("room kept, no checksums") << false << false;
    // A medium that holds less than it promised still reports the scripts,
    // and none of them is left half written.
    QTest::newRow("medium holds less") << true << true;
}

void tst_Spanning::lastDisketteKeepsRoomForTheScript()
{
    QFETCH(bool, checksums);
    QFETCH(bool, holdsLess);
    FakePlatform fake;
    // The rest after the first diskette fits the second, but not with
    // MERGE.BAT, the checksum file and merge.sh beside it: the second stops
    // short by their size.
    const std::string data = patternBytes(std::size_t(2 * Diskette - 10));
    fake.addFile(Source, data);
    const std::vector<std::string> two{"report.doc.!00", "report.doc.!01"};
    const std::vector<std::string> three{"report.doc.!00", "report.doc.!01", "report.doc.!02"};
    const std::int64_t room = darvolt::EndOfRunRoom(two, "report.doc", checksums, 1);
    Medium third;
    if (holdsLess)
        third.reserved = Diskette - (room - 10);
    fake.insertMedia({Medium{}, Medium{}, third});
    Swapper s(fake);
    darvolt::SplitOptions options;
    options.checksums = checksums;

    const SplitOutcome outcome = SplitFile(fake, s.view, {"report.doc", "/data/", 0}, options).outcome;
    QCOMPARE(outcome, holdsLess ? SplitOutcome::ScriptFailed : SplitOutcome::Done);
    QCOMPARE(std::int64_t(fake.diskette(1).at("report.doc.!01").size()), Diskette - room);
    QCOMPARE(fake.diskette(1).size(), std::size_t(1));
    QVERIFY(fake.diskette(0).at("report.doc.!00") + fake.diskette(1).at("report.doc.!01")
                + fake.diskette(2).at("report.doc.!02")
            == data);
    std::vector<std::string> dialogs{prompt(1), prompt(2), prompt(3), closing()};
    const auto files = darvolt::EndOfRunFiles(three, "report.doc", checksums);
    QCOMPARE(files.size(), std::size_t(checksums ? 3 : 2));
    for (const auto& file : files) {
        if (holdsLess) {
            QCOMPARE(fake.diskette(2).count(file.name), std::size_t(0));
            dialogs.insert(dialogs.end() - 1, "message Error writing file /A/" + file.name);
        } else {
            // The room kept is what the run then writes.
            QCOMPARE(std::int64_t(fake.diskette(2).at(file.name).size()), file.bytes);
        }
    }
    if (!holdsLess)
        QCOMPARE(fake.diskette(2).at("MERGE.BAT"), darvolt::MergeScriptText(three, "report.doc"));
    QCOMPARE(s.view.dialogs(), dialogs);
}

void tst_Spanning::spanningWritesNothingBeforeTheFirstPrompt()
{
    FakePlatform fake;
    fake.addFile(Source, patternBytes(10));
    fake.insertMedia({Medium{}});
    RecordingView view;
    view.onPrompt = [&](int) {
        // Nothing exists yet: no output folder, no part on the diskette.
        return fake.directoryPaths() == std::vector<std::string>{"/data"} && fake.diskette(0).empty()
               && fake.calls(Op::CreateFile) == 0 && fake.calls(Op::MakeDirectory) == 0;
    };
    QCOMPARE(span(fake, view), SplitOutcome::Done);
}

QTEST_GUILESS_MAIN(tst_Spanning)
#include "tst_spanning.moc"
