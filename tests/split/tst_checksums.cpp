// The checksum file and merge.sh that every run writes beside MERGE.BAT:
// their lines, what the run hashes (through the fake, folder and spanning
// mode), and what the clearing of an earlier run takes away.

#include "platform/fakeplatform.h"
#include "parts/blockfeed.h"
#include "parts/partcopy.h"
#include "parts/rundigests.h"
#include "parts/checksumfile.h"
#include "parts/sha256.h"
#include "parts/mergescript.h"
#include "parts/mergeshell.h"
#include "parts/partnaming.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"

#include <QCryptographicHash>
#include <QTest>

#include <thread>

using namespace darvolt;
using Medium = FakePlatform::Medium;

namespace {

// The digest by another road than the engine's.
std::string qtSha256(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString();
}

// What sha256sum would write for these files: name -> contents, in order.
std::string expectedSums(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::string text;
    for (const auto& [name, contents] : files)
        text += qtSha256(contents) + "  " + name + "\n";
    return text;
}

// A consumer of the block feed that keeps what each lane saw, in order.
class RecordingConsumer : public BlockConsumer {
public:
    explicit RecordingConsumer(int lanes) : lanes_(lanes), seen_(static_cast<std::size_t>(lanes)) {}
    int lanes() const override { return lanes_; }
    void consume(int lane, std::int64_t part, std::span<const std::byte> bytes) override
    {
        for (const std::byte b : bytes)
            seen_[static_cast<std::size_t>(lane)].push_back({part, static_cast<int>(b)});
    }
    void endPart(int lane, std::int64_t part) override { seen_[static_cast<std::size_t>(lane)].push_back({part, -1}); }
    // Per lane: (part, byte), and (part, -1) where the part ended.
    const std::vector<std::vector<std::pair<std::int64_t, int>>>& seen() const { return seen_; }

private:
    const int lanes_;
    std::vector<std::vector<std::pair<std::int64_t, int>>> seen_;
};

// A consumer of the block feed that fails at one step: the nth block of a
// part, or its end.
class FailingConsumer : public BlockConsumer {
public:
    FailingConsumer(int failAt, bool atEnd, bool waitsLong) : failAt_(failAt), atEnd_(atEnd), waitsLong_(waitsLong) {}
    bool waitsLong() const override { return waitsLong_; }
    void consume(int, std::int64_t, std::span<const std::byte>) override
    {
        if (!atEnd_ && ++blocks_ == failAt_)
            throw std::runtime_error("the consumer failed");
    }
    void endPart(int, std::int64_t) override
    {
        if (atEnd_ && ++ends_ == failAt_)
            throw std::runtime_error("the consumer failed");
    }

private:
    const int failAt_;
    const bool atEnd_;
    const bool waitsLong_;
    int blocks_ = 0;
    int ends_ = 0;
};

} // namespace

class tst_Checksums : public QObject {
    Q_OBJECT

private slots:
    void linesAreWhatSha256sumWrites_data();
    void linesAreWhatSha256sumWrites();
    void readingTakesWhatSha256sumTakes_data();
    void readingTakesWhatSha256sumTakes();
    void runHashesEveryPartAndTheWhole_data();
    void runHashesEveryPartAndTheWhole();
    void withoutChecksumsMergeShellSaysSo();
    void failedRunWritesNoChecksums();
    void clearingTakesScriptsAndChecksumsFirstAndNothingElse();
    void aConsumerThatThrowsFailsTheFeed_data();
    void aConsumerThatThrowsFailsTheFeed();
    void partsHandedOverAtOnceReachEachLaneInOrder_data();
    void partsHandedOverAtOnceReachEachLaneInOrder();
    void oneCopyStepForEveryLoop_data();
    void oneCopyStepForEveryLoop();
};

void tst_Checksums::linesAreWhatSha256sumWrites_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("line"); // with the digest of "abc"
    const QByteArray abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    QTest::newRow("plain") << QByteArray("report.doc.!00") << abc + "  report.doc.!00\n";
    QTest::newRow("blanks and quotes") << QByteArray("my 'file'.!01") << abc + "  my 'file'.!01\n";
    QTest::newRow("backslash") << QByteArray("a\\b") << "\\" + abc + "  a\\\\b\n";
    QTest::newRow("line feed") << QByteArray("a\nb") << "\\" + abc + "  a\\nb\n";
    QTest::newRow("carriage return stays") << QByteArray("a\rb") << abc + "  a\rb\n";
    QTest::newRow("not ASCII") << QByteArray("r\xc3\xa9sum\xe9") << abc + "  r\xc3\xa9sum\xe9\n";
}

void tst_Checksums::linesAreWhatSha256sumWrites()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, line);
    const ChecksumEntry entry{name.toStdString(), Sha256::of("abc")};
    QCOMPARE(QByteArray::fromStdString(ChecksumLine(entry)), line);
    const auto back = ParseChecksumText(ChecksumLine(entry));
    QVERIFY(back && back->size() == 1);
    QVERIFY(back->front() == entry);
}

void tst_Checksums::readingTakesWhatSha256sumTakes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names"); // empty: not a checksum file
    const QByteArray d(64, 'a');
    QTest::newRow("binary mark") << d + " *a.!00\n" << QStringList{"a.!00"};
    QTest::newRow("upper-case digits") << QByteArray(64, 'F') + "  a\n" << QStringList{"a"};
    QTest::newRow("comments and blank lines") << "# made by hand\n\n" + d + "  a\n" << QStringList{"a"};
    QTest::newRow("CR LF everywhere") << d + "  a\r\n" + d + "  b\r\n" << QStringList{"a", "b"};
    QTest::newRow("a carriage return on one line only") << d + "  a\r\n" + d + "  b\n" << QStringList{"a\r", "b"};
    QTest::newRow("no final line feed") << d + "  a" << QStringList{"a"};
    QTest::newRow("short digest") << QByteArray(63, 'a') + "  a\n" << QStringList{};
    QTest::newRow("md5sum's list") << QByteArray(32, 'a') + "  a\n" + QByteArray(32, 'b') + " *b\n" << QStringList{"a", "b"};
    QTest::newRow("sha1sum's list") << QByteArray(40, 'c') + "  a\n" << QStringList{"a"};
    QTest::newRow("digests of two kinds") << QByteArray(32, 'a') + "  a\n" + d + "  b\n" << QStringList{};
    QTest::newRow("one blank") << d + " a\n" << QStringList{};
    QTest::newRow("bad escape") << "\\" + d + "  a\\tb\n" << QStringList{};
    QTest::newRow("prose") << QByteArray("these are not checksums\n") << QStringList{};
    // Read a block at a time, lines are cut at block ends.
    QByteArray many;
    QStringList manyNames;
    for (int i = 0; i < 3000; ++i) {
        manyNames << QString("a.!%1").arg(i, 2, 10, QChar('0'));
        many += d + "  " + manyNames.back().toUtf8() + "\r\n";
    }
    QTest::newRow("lines across blocks") << many << manyNames;
}

void tst_Checksums::readingTakesWhatSha256sumTakes()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    const auto entries = ParseChecksumText(text.toStdString());
    QCOMPARE(entries.has_value(), !names.isEmpty());
    FakePlatform fake;
    fake.addFile("/s.sha256", text.toStdString());
    const auto read = ReadChecksumFile(*fake.openForReading("/s.sha256").value);
    QVERIFY(read == entries);
    // More entries than a set can have: no checksum file of a split.
    if (!names.isEmpty())
        QVERIFY(!ReadChecksumFile(*fake.openForReading("/s.sha256").value, std::size_t(names.size()) - 1));
    QStringList got;
    for (const auto& entry : entries.value_or(std::vector<ChecksumEntry>{}))
        got << QString::fromStdString(entry.name);
    QCOMPARE(got, names);
}

void tst_Checksums::runHashesEveryPartAndTheWhole_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("partSize"); // 0: spanning, onto media of 600000 bytes
    QTest::addColumn<int>("reserved"); // spanning: room the medium never gives out
    QTest::addColumn<int>("parts");
    QTest::newRow("three parts") << 2500 << 1024 << 0 << 3;
    QTest::newRow("empty last part") << 4096 << 1024 << 0 << 5;
    QTest::newRow("one part") << 10 << 1024 << 0 << 1;
    QTest::newRow("105 parts") << 105 * 1024 + 7 << 1024 << 0 << 106;
    QTest::newRow("spanning") << 1300000 << 0 << 0 << 3;
    QTest::newRow("spanning, media fuller than they say") << 1300000 << 0 << 50000 << 3;
}

void tst_Checksums::runHashesEveryPartAndTheWhole()
{
    QFETCH(int, size);
    QFETCH(int, partSize);
    QFETCH(int, reserved);
    QFETCH(int, parts);
    const std::string data = patternBytes(std::size_t(size), 11);
    FakePlatform fake;
    fake.addFile("/data/report.doc", data);
    Medium medium;
    medium.capacity = 600000;
    medium.reserved = reserved;
    fake.insertMedia({medium, medium, medium, medium});
    RecordingView view;
    view.onPrompt = [&](int n) {
        if (n > 0)
            fake.changeDiskette();
        return true;
    };
    SplitOptions options;
    options.blockSize = 1000; // blocks that straddle the parts
    QCOMPARE(SplitFile(fake, view, {"report.doc", "/data/", partSize}, options).outcome, SplitOutcome::Done);

    // Where the last part is, MERGE.BAT, the checksum file and merge.sh are.
    std::map<std::string, std::string> last;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> bare;
    if (partSize > 0) {
        for (int i = 0; i < parts; ++i) {
            bare.push_back(BarePartName("report.doc", i));
            files.emplace_back(bare.back(), fake.contents("/data/REPORT_PARTS/" + bare.back()));
        }
        for (const char* name : {"MERGE.BAT", "report.doc.sha256", "merge.sh"})
            last[name] = fake.contents(std::string("/data/REPORT_PARTS/") + name);
    } else {
        QCOMPARE(fake.disketteIndex(), parts - 1);
        for (int i = 0; i < parts; ++i) {
            bare.push_back(BarePartName("report.doc", i));
            files.emplace_back(bare.back(), fake.diskette(i).at(bare.back()));
        }
        last = fake.diskette(parts - 1);
    }
    std::string joined;
    for (const auto& [name, contents] : files)
        joined += contents;
    QVERIFY(joined == data);
    files.emplace_back("report.doc", data);

    QCOMPARE(last.at("report.doc.sha256"), expectedSums(files));
    QCOMPARE(last.at("MERGE.BAT"), MergeScriptText(bare, "report.doc"));
    const std::string shell = last.at("merge.sh");
    QVERIFY(shell.starts_with("#!/bin/sh\n"));
    QVERIFY(shell.find(expectedSums({files.back()})) != std::string::npos);
    for (const auto& name : bare)
        QVERIFY(shell.find("    " + ShellQuoted(name)) != std::string::npos);
}

void tst_Checksums::withoutChecksumsMergeShellSaysSo()
{
    FakePlatform fake;
    fake.addFile("/data/report.doc", patternBytes(3000));
    RecordingView view;
    SplitOptions options;
    options.checksums = false;
    QCOMPARE(SplitFile(fake, view, {"report.doc", "/data/", 1024}, options).outcome, SplitOutcome::Done);
    QVERIFY(!fake.hasFile("/data/REPORT_PARTS/report.doc.sha256"));
    const std::string shell = fake.contents("/data/REPORT_PARTS/merge.sh");
    QVERIFY(shell.find("they cannot be checked") != std::string::npos);
    QVERIFY(shell.find("sha256sum -c") == std::string::npos);
}

void tst_Checksums::failedRunWritesNoChecksums()
{
    FakePlatform fake;
    fake.addFile("/data/report.doc", patternBytes(5000));
    fake.failReadAt("/data/report.doc", 4000, error::DeviceError);
    RecordingView view;
    QCOMPARE(SplitFile(fake, view, {"report.doc", "/data/", 1024}).outcome, SplitOutcome::Failed);
    for (const char* name : {"MERGE.BAT", "report.doc.sha256", "merge.sh"})
        QVERIFY(!fake.hasFile(std::string("/data/REPORT_PARTS/") + name));
}

void tst_Checksums::clearingTakesScriptsAndChecksumsFirstAndNothingElse()
{
    FakePlatform fake;
    const std::vector<std::string> names = {"report.doc.!00", "report.doc.sha256", "other.doc.sha256", "merge.sh",
                                            "report.doc.!01", "MERGE.BAT", "notes.txt", "report.doc.sha256.bak"};
    for (const auto& name : names)
        fake.addFile("/data/REPORT_PARTS/" + name, "x");
    const auto order = EarlierRunFiles(fake, "/data/REPORT_PARTS", "report.doc");
    QCOMPARE(order.size(), std::size_t(5));
    QCOMPARE((std::vector<std::string>(order.begin(), order.begin() + 3)),
             (std::vector<std::string>{"MERGE.BAT", "merge.sh", "report.doc.sha256"}));
    ClearFolder(fake, "/data/REPORT_PARTS", "report.doc");
    for (const char* kept : {"other.doc.sha256", "notes.txt", "report.doc.sha256.bak"})
        QVERIFY(fake.hasFile(std::string("/data/REPORT_PARTS/") + kept));
    QCOMPARE(fake.listDirectory("/data/REPORT_PARTS").value.size(), std::size_t(3));
}

// Whatever a consumer throws reaches the run, which hands blocks over and
// asks whether everything was taken: it never looks finished.
void tst_Checksums::aConsumerThatThrowsFailsTheFeed_data()
{
    QTest::addColumn<int>("failAt");
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<bool>("waitsLong");
    QTest::newRow("first block") << 1 << false << false;
    QTest::newRow("a later block") << 7 << false << false;
    QTest::newRow("the last block") << 12 << false << false;
    QTest::newRow("the end of the first part") << 1 << true << false;
    QTest::newRow("the end of the last part") << 3 << true << false;
    QTest::newRow("a block, on the feed's thread only") << 5 << false << true;
    QTest::newRow("the end of the last part, on the feed's thread only") << 3 << true << true;
}

void tst_Checksums::aConsumerThatThrowsFailsTheFeed()
{
    QFETCH(int, failAt);
    QFETCH(bool, atEnd);
    QFETCH(bool, waitsLong);
    FailingConsumer failing(failAt, atEnd, waitsLong);
    RunDigests digests({DigestKind::Sha256, DigestKind::Sha256, {}});
    std::vector<BlockConsumer*> consumers = digests.consumers();
    consumers.push_back(&failing);
    BlockFeed worker(64, consumers);
    bool thrown = false;
    try {
        // Three parts of four blocks.
        for (int part = 0; part < 3; ++part) {
            for (int block = 0; block < 4; ++block) {
                std::span<std::byte> buffer;
                while ((buffer = worker.acquire(part, std::chrono::milliseconds(10))).empty()) {
                }
                worker.submit(part, buffer, buffer.size());
            }
            worker.endPart(part);
        }
        while (!worker.finished(std::chrono::milliseconds(10))) {
        }
    } catch (const std::runtime_error& e) {
        thrown = std::string(e.what()) == "the consumer failed";
    }
    QVERIFY(thrown);
}

void tst_Checksums::partsHandedOverAtOnceReachEachLaneInOrder_data()
{
    QTest::addColumn<int>("lanes");
    QTest::addColumn<int>("buffers");
    QTest::newRow("one lane, eight buffers") << 1 << 8;
    QTest::newRow("one lane, two buffers") << 1 << 2;
    QTest::newRow("one lane, one buffer") << 1 << 1;
    QTest::newRow("two lanes, eight buffers") << 2 << 8;
    QTest::newRow("three lanes, three buffers") << 3 << 3;
}

// Two threads hand over every other part, neither waiting for the other, as
// a join of two parts at once does: each lane still sees its parts whole and
// in part order, and neither thread is left without a buffer for good.
void tst_Checksums::partsHandedOverAtOnceReachEachLaneInOrder()
{
    QFETCH(int, lanes);
    QFETCH(int, buffers);
    constexpr int parts = 9;
    constexpr int blocks = 5;
    constexpr std::size_t block = 16;
    RecordingConsumer recording(lanes);
    {
        BlockFeed feed(block, {&recording}, static_cast<std::size_t>(buffers));
        const auto handOver = [&feed](int first) {
            for (std::int64_t part = first; part < parts; part += 2) {
                for (int b = 0; b < blocks; ++b) {
                    std::span<std::byte> buffer;
                    while ((buffer = feed.acquire(part, std::chrono::milliseconds(10))).empty()) {
                    }
                    std::fill(buffer.begin(), buffer.end(), std::byte(part * blocks + b));
                    feed.submit(part, buffer, block);
                }
                feed.endPart(part);
            }
        };
        std::thread odd(handOver, 1);
        handOver(0);
        odd.join();
        while (!feed.finished(std::chrono::milliseconds(10))) {
        }
    }
    for (int lane = 0; lane < lanes; ++lane) {
        std::vector<std::pair<std::int64_t, int>> expected;
        for (std::int64_t part = lane; part < parts; part += lanes) {
            for (int b = 0; b < blocks; ++b)
                expected.insert(expected.end(), block, {part, static_cast<int>(part * blocks + b)});
            expected.push_back({part, -1});
        }
        QCOMPARE(recording.seen()[static_cast<std::size_t>(lane)], expected);
    }
}

void tst_Checksums::oneCopyStepForEveryLoop_data()
{
    QTest::addColumn<bool>("feed");
    QTest::addColumn<int>("at");         // where the step writes; -1: where the target stands
    QTest::addColumn<bool>("holes");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("fault"); // "", "read", "disk full", "no target"
    QTest::addColumn<int>("failure");
    QTest::addColumn<QByteArray>("target");
    const int none = int(CopyFailure::None);
    const QByteArray zeros(8, '\0');
    for (const bool feed : {false, true}) {
        const char* how = feed ? "through the feed" : "alone";
        QTest::addRow("%s: in order", how) << feed << -1 << false << QByteArray("abcdefgh") << "" << none << QByteArray("abcdefgh");
        QTest::addRow("%s: at an offset", how) << feed << 4 << false << QByteArray("abcdefgh") << "" << none << QByteArray(4, '\0') + "abcdefgh";
        QTest::addRow("%s: zeros left a hole", how) << feed << 4 << true << zeros << "" << none << QByteArray();
        QTest::addRow("%s: zeros written", how) << feed << 4 << false << zeros << "" << none << QByteArray(12, '\0');
        QTest::addRow("%s: read only", how) << feed << -1 << false << QByteArray("abcdefgh") << "no target" << none << QByteArray();
        QTest::addRow("%s: unreadable", how) << feed << -1 << false << QByteArray("abcdefgh") << "read" << int(CopyFailure::Read) << QByteArray();
        QTest::addRow("%s: disk full", how) << feed << 4 << false << QByteArray("abcdefgh") << "disk full" << int(CopyFailure::Write) << QByteArray();
    }
}

// The step the split and both of the join's loops take: where the bytes go,
// what the feed's consumers see, and what a failure says.
void tst_Checksums::oneCopyStepForEveryLoop()
{
    QFETCH(bool, feed);
    QFETCH(int, at);
    QFETCH(bool, holes);
    QFETCH(QByteArray, source);
    QFETCH(QString, fault);
    QFETCH(int, failure);
    QFETCH(QByteArray, target);
    FakePlatform fake;
    fake.addFile("/s", source.toStdString());
    if (fault == "read")
        fake.failReadAt("/s", 0, error::DeviceError);
    if (fault == "disk full")
        fake.failFileCall("/t", FakePlatform::Operation::Write, 1, error::DiskFull);
    auto in = fake.openForReading("/s");
    auto out = fake.createFile("/t", DefaultPermissions);
    QVERIFY(in.ok() && out.ok());
    RecordingConsumer seeing(1);
    BlockFeed blocks(64, {&seeing});
    std::vector<std::byte> buffer;
    const StepTarget where{fault == "no target" ? nullptr : out.value.get(), at, holes};
    const CopyStepResult step = CopyStep(*in.value, 0, 64, where, {feed ? &blocks : nullptr, 0, {}}, buffer);
    QCOMPARE(int(step.failure), failure);
    QCOMPARE(step.error, failure == int(CopyFailure::Write) ? error::DiskFull
                         : failure == int(CopyFailure::Read) ? error::DeviceError
                                                            : error::None);
    const bool copied = failure == int(CopyFailure::None);
    QCOMPARE(step.count, copied ? std::uint64_t(source.size()) : 0U);
    out.value->close();
    if (copied)
        QCOMPARE(QByteArray::fromStdString(fake.contents("/t")), target);
    // The feed's consumers see what was stored, and only that.
    blocks.endPart(0);
    while (!blocks.finished(std::chrono::milliseconds(10))) {
    }
    QCOMPARE(std::uint64_t(seeing.seen()[0].size() - 1), feed ? step.count : 0U);
}

QTEST_GUILESS_MAIN(tst_Checksums)
#include "tst_checksums.moc"
