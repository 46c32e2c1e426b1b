// Spanning onto removable media as a desktop has them, through the fake's
// scripted media: found at every prompt wherever they are mounted, picked
// from several, mounted and unmounted through the disk service, parts cut at
// the largest file of the medium's file system, and room kept for the
// end-of-run files.

#include "platform/fakeplatform.h"
#include "split/endofrun.h"
#include "parts/mergescript.h"
#include "split/spandrive.h"
#include "split/splitfile.h"
#include "split/splittexts.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QTest>

using darvolt::FakePlatform;
using darvolt::SplitOutcome;
using Medium = FakePlatform::Medium;
namespace texts = darvolt::texts;

Q_DECLARE_METATYPE(std::vector<Medium>)
Q_DECLARE_METATYPE(std::vector<std::string>)
Q_DECLARE_METATYPE(std::vector<std::size_t>)

namespace {

const std::string Source = "/data/report.doc";
constexpr std::size_t Largest = 4'194'303; // 4 GiB - 1 at a byte to a kilobyte

std::string prompt(int n) { return "prompt " + texts::diskettePrompt(n); }
std::string error(std::string_view text) { return "error " + std::string(text); }
std::string closing() { return "information File REPORT.DOC spanned. MERGE.BAT placed on the last diskette"; }
std::string removable(const std::string& name) { return texts::mediumRemovable(name); }

Medium stick(const std::string& label, std::int64_t capacity = 100000)
{
    Medium m;
    m.label = label;
    m.folder = "/media/ann/" + label;
    m.capacity = capacity;
    return m;
}

Medium ejectable(Medium m)
{
    m.ejectable = true;
    return m;
}

bool isPart(const std::string& name) { return name.starts_with("report.doc.!"); }

// One spanned run of a source of `size` bytes over the media; every OK
// after the first takes out what is in the drive and puts in the next.
struct Run {
    FakePlatform fake;
    RecordingView view;
    std::string data;
    SplitOutcome outcome = SplitOutcome::Busy;

    Run(const std::vector<Medium>& media, std::size_t size) : data(patternBytes(size, 3))
    {
        fake.addFile(Source, data);
        fake.insertMedia(media);
        view.onPrompt = [this](int n) {
            if (n > 0)
                fake.changeDiskette();
            return n < 20; // a run that keeps asking is a fault: Cancel ends it
        };
    }
    SplitOutcome go() { return outcome = SplitFile(fake, view, {"report.doc", "/data/", 0}).outcome; }

    // Every part in order, wherever it went, and whether they rejoin.
    std::vector<std::size_t> partSizes(int media) const
    {
        std::vector<std::size_t> sizes;
        for (int m = 0; m < media; ++m)
            for (const auto& [name, contents] : fake.diskette(m))
                if (isPart(name))
                    sizes.push_back(contents.size());
        return sizes;
    }
    // MERGE.BAT, the checksum file and merge.sh.
    bool holdsRunFiles(int medium) const
    {
        const auto files = fake.diskette(medium);
        return files.count("MERGE.BAT") && files.count("report.doc.sha256") && files.count("merge.sh");
    }
    bool rejoins(int media) const
    {
        std::string joined;
        for (int m = 0; m < media; ++m)
            for (const auto& [name, contents] : fake.diskette(m))
                if (isPart(name))
                    joined += contents;
        return joined == data;
    }
};

} // namespace

class tst_SpanMedia : public QObject {
    Q_OBJECT

private slots:
    void eachPromptFindsTheMediumNowPresent_data();
    void eachPromptFindsTheMediumNowPresent();
    void severalMediaAreOfferedToChooseFrom();
    void diskServiceMediumIsMountedAndUnmountedOnceFlushed_data();
    void diskServiceMediumIsMountedAndUnmountedOnceFlushed();
    void mediumThatCannotTakeThePartIsLetGoBeforeTheNextPrompt_data();
    void mediumThatCannotTakeThePartIsLetGoBeforeTheNextPrompt();
    void busyUnmountAsksToRetryOrGoOn_data();
    void busyUnmountAsksToRetryOrGoOn();
    void fatMediumTakesSeveralPartsOfItsLargestFile_data();
    void fatMediumTakesSeveralPartsOfItsLargestFile();
    void partSizeFromFreeSpaceLimitAndRoom_data();
    void partSizeFromFreeSpaceLimitAndRoom();
    void customSizeAboveTheFileLimitIsRefusedBeforeWriting();
};

void tst_SpanMedia::eachPromptFindsTheMediumNowPresent_data()
{
    QTest::addColumn<std::vector<Medium>>("media");
    QTest::addColumn<std::vector<std::string>>("dialogs");
    QTest::addColumn<std::vector<std::size_t>>("parts");
    Medium gone;
    gone.state = Medium::State::Missing;
    // Each stick mounted at a folder of its own name.
    QTest::newRow("one, then another") << std::vector<Medium>{stick("ONE"), stick("TWO")}
                                       << std::vector<std::string>{prompt(1), prompt(2), closing()}
                                       << std::vector<std::size_t>{100000, 50000};
    QTest::newRow("none at first")
        << std::vector<Medium>{gone, stick("ONE"), stick("TWO")}
        << std::vector<std::string>{prompt(1), error(texts::NotReady), prompt(1), prompt(2), closing()}
        << std::vector<std::size_t>{100000, 50000};
    // Taken out after its part and nothing put in: the rest waits for a
    // medium instead of landing beneath the empty mount folder.
    QTest::newRow("removed between prompts")
        << std::vector<Medium>{stick("ONE"), gone, stick("TWO")}
        << std::vector<std::string>{prompt(1), prompt(2), error(texts::NotReady), prompt(2), closing()}
        << std::vector<std::size_t>{100000, 50000};
}

void tst_SpanMedia::eachPromptFindsTheMediumNowPresent()
{
    QFETCH(std::vector<Medium>, media);
    QFETCH(std::vector<std::string>, dialogs);
    QFETCH(std::vector<std::size_t>, parts);
    Run run(media, 150000);
    QCOMPARE(run.go(), SplitOutcome::Done);
    QCOMPARE(run.view.dialogs(), dialogs);
    const int used = int(media.size());
    QCOMPARE(run.partSizes(used), parts);
    QVERIFY(run.rejoins(used));
    QCOMPARE(run.fake.diskette(used - 1).at("MERGE.BAT"),
             darvolt::MergeScriptText({"report.doc.!00", "report.doc.!01"}, "report.doc"));
    QVERIFY(run.view.notes().empty()); // found in the mount table: left mounted
    QCOMPARE(run.fake.calls(FakePlatform::Operation::ReleaseMedium), 2);
}

void tst_SpanMedia::severalMediaAreOfferedToChooseFrom()
{
    Medium first = stick("CARD", 400000);
    first.withNext = true;
    Medium second = ejectable(stick("STICK", 800000));
    second.mounted = false;
    Run run({first, second}, 150000);
    run.view.onPrompt = [](int n) { return n < 5; }; // both stay in
    // Backing out of the list asks for the diskette again; then STICK.
    int choices = 0;
    run.view.onChoose = [&](const std::vector<darvolt::RemovableMedium>& media) -> std::optional<std::size_t> {
        if (media.size() != 2 || media[0].size != 400000 || media[1].folder != "" || !media[1].ejectable)
            return 7; // not an index: the run would ask again and the test sees it
        return choices++ == 0 ? std::nullopt : std::optional<std::size_t>(1);
    };
    QCOMPARE(run.go(), SplitOutcome::Done);
    const std::string list = "choose " + texts::chooseMedium(1) + " CARD|/media/ann/CARD, STICK|";
    QCOMPARE(run.view.dialogs(), (std::vector<std::string>{prompt(1), list, prompt(1), list, closing()}));
    QCOMPARE(run.fake.diskette(1).at("report.doc.!00"), run.data);
    QVERIFY(run.holdsRunFiles(1));
    QVERIFY(run.fake.diskette(0).empty());
    QCOMPARE(run.fake.unmounts(1), 1);
}

void tst_SpanMedia::diskServiceMediumIsMountedAndUnmountedOnceFlushed_data()
{
    QTest::addColumn<bool>("diskService");
    QTest::addColumn<bool>("mountedAlready");
    QTest::newRow("inserted, not mounted") << true << false;
    QTest::newRow("mounted by the desktop") << true << true;
    // From the mount table or DARVOLT_DRIVE_A: flushed, never unmounted.
    QTest::newRow("not the disk service's") << false << true;
}

void tst_SpanMedia::diskServiceMediumIsMountedAndUnmountedOnceFlushed()
{
    QFETCH(bool, diskService);
    QFETCH(bool, mountedAlready);
    std::vector<Medium> media{stick("ONE"), stick("TWO")};
    for (auto& m : media) {
        m.ejectable = diskService;
        m.mounted = mountedAlready;
    }
    Run run(media, 150000);
    QCOMPARE(run.go(), SplitOutcome::Done);
    QVERIFY(run.rejoins(2));
    for (int m = 0; m < 2; ++m) {
        QCOMPARE(run.fake.unmounts(m), diskService ? 1 : 0);
        QVERIFY(run.fake.durableWhenUnmounted(m)); // the part (and the script) were on it first
        QCOMPARE(run.fake.mounted(m), !diskService);
    }
    std::vector<std::string> tail;
    for (const auto& entry : run.view.log)
        if (entry.starts_with("note ") || entry.starts_with("prompt ") || entry.starts_with("information "))
            tail.push_back(entry);
    std::vector<std::string> expected{prompt(1), prompt(2), closing()};
    if (diskService) {
        expected.insert(expected.begin() + 1, "note " + removable("ONE"));
        expected.insert(expected.begin() + 3, "note " + removable("TWO"));
    }
    QCOMPARE(tail, expected);
}

void tst_SpanMedia::mediumThatCannotTakeThePartIsLetGoBeforeTheNextPrompt_data()
{
    QTest::addColumn<bool>("writeProtected"); // else full
    QTest::newRow("write-protected") << true;
    QTest::newRow("full") << false;
}

void tst_SpanMedia::mediumThatCannotTakeThePartIsLetGoBeforeTheNextPrompt()
{
    QFETCH(bool, writeProtected);
    Medium bad = ejectable(stick("BAD", writeProtected ? 100000 : 0));
    if (writeProtected)
        bad.state = Medium::State::WriteProtected;
    Run run({bad, ejectable(stick("ONE")), ejectable(stick("TWO"))}, 150000);
    QCOMPARE(run.go(), SplitOutcome::Done);
    QCOMPARE(run.view.dialogs(),
             (std::vector<std::string>{prompt(1), error(writeProtected ? texts::WriteProtected : texts::DisketteFull),
                                       prompt(1), prompt(2), closing()}));
    QCOMPARE(run.fake.unmounts(0), 1);
    QVERIFY(!run.fake.mounted(0));
    QCOMPARE(run.view.notes(), (std::vector<std::string>{removable("BAD"), removable("ONE"), removable("TWO")}));
    QVERIFY(run.fake.diskette(0).empty());
    QVERIFY(run.rejoins(3));
}

void tst_SpanMedia::busyUnmountAsksToRetryOrGoOn_data()
{
    QTest::addColumn<int>("busy");        // unmount attempts that find it in use
    QTest::addColumn<bool>("retry");      // the answer to every question
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("unmounted");
    QTest::newRow("free after one retry") << 1 << true << 1 << true;
    QTest::newRow("free after three retries") << 3 << true << 3 << true;
    QTest::newRow("the user goes on") << 5 << false << 1 << false;
}

void tst_SpanMedia::busyUnmountAsksToRetryOrGoOn()
{
    QFETCH(int, busy);
    QFETCH(bool, retry);
    QFETCH(int, questions);
    QFETCH(bool, unmounted);
    Medium first = ejectable(stick("ONE"));
    first.busyUnmounts = busy;
    Run run({first, ejectable(stick("TWO"))}, 150000);
    run.view.onRetry = [&](int) { return retry; };
    QCOMPARE(run.go(), SplitOutcome::Done);
    QCOMPARE(run.view.retries, questions);
    const std::string question = "retry " + texts::mediumBusy("ONE", "target is busy");
    QVERIFY(std::count(run.view.log.begin(), run.view.log.end(), question) == questions);
    QCOMPARE(run.fake.mounted(0), !unmounted);
    const auto notes = run.view.notes();
    QCOMPARE(std::count(notes.begin(), notes.end(), removable("ONE")), unmounted ? 1 : 0);
    QVERIFY(run.rejoins(2)); // going on loses nothing: the part was flushed
}

void tst_SpanMedia::fatMediumTakesSeveralPartsOfItsLargestFile_data()
{
    // A FAT stick at a scale of one byte to a kilobyte: 12 GB free, parts of
    // at most 4 GiB - 1, and a source that needs more than one medium or not.
    QTest::addColumn<qint64>("source");
    QTest::addColumn<std::vector<std::size_t>>("parts");
    QTest::addColumn<int>("prompts");
    QTest::newRow("fits on the stick") << qint64(10'000'000)
                                       << std::vector<std::size_t>{Largest, Largest, 1'611'394} << 1;
    QTest::newRow("exactly one largest file") << qint64(Largest) << std::vector<std::size_t>{Largest, 0} << 1;
    QTest::newRow("needs a second stick")
        << qint64(14'000'000) << std::vector<std::size_t>{Largest, Largest, 3'611'394, 2'000'000} << 2;
}

void tst_SpanMedia::fatMediumTakesSeveralPartsOfItsLargestFile()
{
    QFETCH(qint64, source);
    QFETCH(std::vector<std::size_t>, parts);
    QFETCH(int, prompts);
    Medium fat = ejectable(stick("FAT32", 12'000'000));
    fat.largestFile = Largest;
    Run run({fat, ejectable(stick("NEXT", 12'000'000))}, std::size_t(source));
    QCOMPARE(run.go(), SplitOutcome::Done);
    QCOMPARE(run.partSizes(2), parts);
    QVERIFY(run.rejoins(2));
    QCOMPARE(run.view.prompts, prompts);
    // The stick is let go once, after its last part, never between its parts.
    QCOMPARE(run.fake.unmounts(0), 1);
    QVERIFY(run.fake.durableWhenUnmounted(0));
    QVERIFY(run.holdsRunFiles(prompts - 1));
    QCOMPARE(run.view.dialogs().back(), closing());
}

void tst_SpanMedia::partSizeFromFreeSpaceLimitAndRoom_data()
{
    for (const char* column : {"free", "largestFile", "unit", "rest", "room", "size"})
        QTest::addColumn<qint64>(column);
    const auto row = [](const char* name, qint64 free, qint64 largest, qint64 unit, qint64 rest, qint64 room,
                        qint64 size) { QTest::newRow(name) << free << largest << unit << rest << room << size; };
    constexpr qint64 fat = 0xFFFFFFFFLL;
    constexpr qint64 none = INT64_MAX;
    row("FAT, 12 GB free, more to come", 12'000'000'000LL, fat, 32768, 20'000'000'000LL, 32768, fat);
    row("FAT, the rest fits the largest file", 12'000'000'000LL, fat, 32768, 1'000'000, 32768, fat);
    row("the rest and the scripts fit", 1'457'664, none, 512, 542'336, 512, 1'457'664);
    row("the rest fits, the scripts not", 1'457'664, none, 1, 1'457'600, 300, 1'457'364);
    row("rounded up to whole units", 65536, none, 4096, 61441, 4096, 61440);
    row("exact fill stays whole", 1'457'664, none, 1, 1'457'664, 300, 1'457'664);
    row("less free than the scripts need", 200, none, 1, 100, 300, -100);
    row("source size unknown", 5000, none, 1, -1, 300, 5000);
}

void tst_SpanMedia::partSizeFromFreeSpaceLimitAndRoom()
{
    QFETCH(qint64, free);
    QFETCH(qint64, largestFile);
    QFETCH(qint64, unit);
    QFETCH(qint64, rest);
    QFETCH(qint64, room);
    QFETCH(qint64, size);
    QCOMPARE(qint64(darvolt::SpannedPartSize({free, largestFile, unit}, rest, room)), size);
}

void tst_SpanMedia::customSizeAboveTheFileLimitIsRefusedBeforeWriting()
{
    QCOMPARE(texts::partTooLargeForFileSystem(0xFFFFFFFFLL),
             std::string("The size selected for partial files MUST be at most 4194303 KB: the file system of the "
                         "output folder holds no file larger than 4294967295 bytes. Splitting file canceled"));
    for (const std::int64_t part : {std::int64_t(4096), std::int64_t(3072)}) {
        FakePlatform fake;
        fake.addFile(Source, patternBytes(10000));
        fake.setFileSystemLimits("/data", {4095, 512});
        RecordingView view;
        const auto outcome = SplitFile(fake, view, {"report.doc", "/data/", part}).outcome;
        if (part > 4095) {
            QCOMPARE(outcome, SplitOutcome::Failed);
            QCOMPARE(view.dialogs(), std::vector<std::string>{error(texts::partTooLargeForFileSystem(4095))});
            QVERIFY(!fake.hasDirectory("/data/REPORT_PARTS"));
        } else {
            QCOMPARE(outcome, SplitOutcome::Done);
            QCOMPARE(fake.contents("/data/REPORT_PARTS/report.doc.!03").size(), std::size_t(10000 - 3 * 3072));
        }
    }
}

QTEST_GUILESS_MAIN(tst_SpanMedia)
#include "tst_spanmedia.moc"
