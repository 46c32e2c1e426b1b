// The join engine through the fake: sets split by the split engine, then
// damaged, thinned, padded or crowded, joined or checked from a part, the
// folder or the checksum file.

#include "join/joinfile.h"
#include "join/joinview.h"
#include "platform/fakeplatform.h"
#include "parts/partnaming.h"
#include "split/recordingview.h"
#include "split/splitfile.h"
#include "split/testdata.h"

#include <QCryptographicHash>
#include <QTest>

using namespace darvolt;

namespace {

class RecordingJoinView : public JoinView {
public:
    std::vector<std::string> log; // "error ...", "warning ...", "information ...", "check ..."
    std::vector<std::string> statuses;
    std::int64_t done = -1;
    std::int64_t total = -1;
    bool replace = false;
    int pumps = 0;
    std::function<void(int)> onPump;

    void setProgress(std::int64_t doneKb, std::int64_t totalKb) override
    {
        QVERIFY(doneKb >= done);
        done = doneKb;
        total = totalKb;
    }
    void setStatusText(const std::string& text) override { statuses.push_back(text); }
    void showError(const std::string& text) override { log.push_back("error " + text); }
    void showWarning(const std::string& text) override { log.push_back("warning " + text); }
    void showInformation(const std::string& text) override { log.push_back("information " + text); }
    void showCheck(const std::string& line, bool good) override
    {
        log.push_back(std::string(good ? "good " : "bad ") + line);
    }
    bool confirmReplace(const std::string& path) override
    {
        log.push_back("replace? " + path);
        return replace;
    }
    std::string chosen; // the answer to chooseOutput
    std::string chooseOutput(const std::string& why, const std::string&) override
    {
        log.push_back("output? " + why);
        return chosen;
    }
    void processPendingMessages() override
    {
        if (onPump)
            onPump(++pumps);
    }
};

std::string sha(const std::string& bytes, QCryptographicHash::Algorithm kind = QCryptographicHash::Sha256)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), kind).toHex().toStdString();
}

// A consumer listed beside the join's digests: it must see every byte of
// every part, part after part, however many threads copy.
class SeeingConsumer : public BlockConsumer {
public:
    void consume(int, std::int64_t, std::span<const std::byte> bytes) override
    {
        seen.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    void endPart(int, std::int64_t) override { ++parts; }
    std::string seen;
    std::size_t parts = 0;
};

enum class Twist {
    None, Damaged, Missing, Extra, ExtraNext, Truncated, DiskFull, Existing, ExistingReplaced, NoSums, NoSumsGap,
    OutputIsPart, Interrupted, DamagedThenUnreadable,
};

const std::string Folder = "/data/REPORT_PARTS";

} // namespace

class tst_JoinFile : public QObject {
    Q_OBJECT

private slots:
    void joinsOrRefuses_data();
    void joinsOrRefuses();
    void checksWithoutWriting_data();
    void checksWithoutWriting();
    void findsTheSetOrSaysWhy_data();
    void findsTheSetOrSaysWhy();
    void joinsOtherToolsSets_data();
    void joinsOtherToolsSets();
};

void tst_JoinFile::joinsOrRefuses_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("partSize"); // 0: spanned onto media of 5000 bytes, then copied into one folder
    QTest::addColumn<QString>("input"); // "part", "folder" or "sums"
    QTest::addColumn<int>("twist");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("said"); // in order, beginning with

    const int ok = int(JoinOutcome::Joined);
    const int bad = int(JoinOutcome::CheckFailed);
    const int failed = int(JoinOutcome::Failed);
    const QByteArray r = "report.doc";
    const QString joined = "information File /data/REPORT_PARTS/report.doc joined from ";
    QTest::newRow("from a part") << r << 3000 << 1024 << QString("part") << int(Twist::None) << ok << QStringList{joined + "3 parts, every part matching its checksum"};
    QTest::newRow("from the folder") << r << 3000 << 1024 << QString("folder") << int(Twist::None) << ok << QStringList{joined};
    QTest::newRow("from the checksum file") << r << 3000 << 1024 << QString("sums") << int(Twist::None) << ok << QStringList{joined};
    QTest::newRow("empty last part") << r << 4096 << 1024 << QString("part") << int(Twist::None) << ok << QStringList{joined + "5 parts"};
    QTest::newRow("105 parts") << r << 104 * 1024 + 1 << 1024 << QString("folder") << int(Twist::None) << ok << QStringList{joined + "105 parts"};
    QTest::newRow("spanned") << r << 12000 << 0 << QString("sums") << int(Twist::None) << ok << QStringList{joined + "3 parts"};
    QTest::newRow("odd name") << QByteArray("it's a \"b\\c\"\n.doc") << 3000 << 1024 << QString("sums") << int(Twist::None) << ok
                    << QStringList{"information File /data/IT'S A \"B\\C\"\n_PARTS/it's a \"b\\c\"\n.doc joined"};
    QTest::newRow("damaged byte") << r << 3000 << 1024 << QString("part") << int(Twist::Damaged) << bad
                        << QStringList{"error Part report.doc.!01 is damaged: its SHA-256 is "};
    // One part at a time or two, the first failure in part order is told.
    QTest::newRow("damaged, then unreadable") << r << 3000 << 1024 << QString("part") << int(Twist::DamagedThenUnreadable)
                                              << bad << QStringList{"error Part report.doc.!00 is damaged: its SHA-256 is "};
    QTest::newRow("missing part") << r << 5000 << 1024 << QString("folder") << int(Twist::Missing) << bad
                        << QStringList{"error Part report.doc.!01 is missing"};
    QTest::newRow("extra part") << r << 3000 << 1024 << QString("folder") << int(Twist::Extra) << bad
                      << QStringList{"error Part report.doc.!07 is not listed in report.doc.sha256"};
    QTest::newRow("extra part right after the last") << r << 3000 << 1024 << QString("folder") << int(Twist::ExtraNext)
                      << bad << QStringList{"error Part report.doc.!03 is not listed in report.doc.sha256"};
    QTest::newRow("truncated last part") << r << 3000 << 1024 << QString("part") << int(Twist::Truncated) << bad
                               << QStringList{"error Part report.doc.!02 is damaged"};
    QTest::newRow("disk full") << r << 3000 << 1024 << QString("part") << int(Twist::DiskFull) << failed
                     << QStringList{"error Error writing /data/REPORT_PARTS/report.doc: the disk is full"};
    QTest::newRow("existing file kept") << r << 3000 << 1024 << QString("part") << int(Twist::Existing) << failed
                              << QStringList{"replace? /data/REPORT_PARTS/report.doc"};
    QTest::newRow("existing file replaced") << r << 3000 << 1024 << QString("part") << int(Twist::ExistingReplaced) << ok
                                  << QStringList{"replace? /data/REPORT_PARTS/report.doc", joined};
    QTest::newRow("no checksum file") << r << 3000 << 1024 << QString("part") << int(Twist::NoSums) << ok
                            << QStringList{"warning No checksum file was found for report.doc", joined + "3 parts"};
    QTest::newRow("no checksum file, a gap") << r << 5000 << 1024 << QString("part") << int(Twist::NoSumsGap) << bad
                                   << QStringList{"error Part report.doc.!02 is missing"};
    QTest::newRow("output is a part") << r << 3000 << 1024 << QString("folder") << int(Twist::OutputIsPart) << failed
                            << QStringList{"error The joined file /data/REPORT_PARTS/report.doc.!01 would replace"};
    QTest::newRow("interrupted") << r << 30000 << 1024 << QString("sums") << int(Twist::Interrupted) << int(JoinOutcome::Interrupted)
                       << QStringList{"error Join interrupted: /data/REPORT_PARTS/report.doc was not written"};
}

void tst_JoinFile::joinsOrRefuses()
{
    QFETCH(QByteArray, name);
    QFETCH(int, size);
    QFETCH(int, partSize);
    QFETCH(QString, input);
    QFETCH(int, twist);
    QFETCH(int, outcome);
    QFETCH(QStringList, said);

    // A checked join copies two parts at once where the platform allows
    // it; either way it must say and leave the same.
    for (const bool concurrent : {false, true}) {
    const struct Say {
        bool concurrent;
        ~Say() { if (QTest::currentTestFailed()) qWarning(concurrent ? "two parts at once" : "one part at a time"); }
    } say{concurrent};
    QStringList expected = said;
    const std::string source = name.toStdString();
    const std::string data = patternBytes(std::size_t(size), 9);
    FakePlatform fake;
    fake.allowConcurrentCopies(concurrent);
    fake.setCaseSensitive(true);
    fake.addFile("/data/" + source, data);
    FakePlatform::Medium medium;
    // Room for the last parts and the scripts on the third.
    medium.capacity = 5600;
    fake.insertMedia({medium, medium, medium});
    RecordingView splitView;
    splitView.onPrompt = [&](int n) {
        if (n > 0)
            fake.changeDiskette();
        return true;
    };
    SplitOptions splitOptions;
    splitOptions.openFileManager = false;
    QCOMPARE(SplitFile(fake, splitView, {source, "/data/", partSize}, splitOptions).outcome, SplitOutcome::Done);
    const std::string folder = OutputFolder("/data/", source);
    if (partSize == 0) // the user copies the diskettes into one folder
        for (int m = 0; m < 3; ++m)
            for (const auto& [file, contents] : fake.diskette(m))
                fake.addFile(folder + "/" + file, contents);
    const auto part = [&](int n) { return folder + "/" + BarePartName(source, n); };
    const std::string output = folder + "/" + source;

    JoinOptions options;
    options.blockSize = 700; // blocks that straddle parts
    std::atomic<bool> stop{false};
    options.stop = &stop;
    RecordingJoinView view;
    switch (Twist(twist)) {
    case Twist::Damaged: {
        std::string bytes = fake.contents(part(1));
        bytes[100] ^= 0x20;
        fake.addFile(part(1), bytes);
        expected[0] += QString::fromStdString(sha(bytes) + ", the checksum file expects " + sha(data.substr(1024, 1024)));
        break;
    }
    case Twist::DamagedThenUnreadable: {
        std::string bytes = fake.contents(part(0));
        bytes[100] ^= 0x20;
        fake.addFile(part(0), bytes);
        fake.failReadAt(part(1), 10, error::DeviceError);
        break;
    }
    case Twist::Missing: fake.removeFile(part(1)); break;
    case Twist::Extra: fake.addFile(part(7), "stray"); break;
    case Twist::ExtraNext: fake.addFile(part(3), "stray"); break;
    case Twist::Truncated: fake.addFile(part(2), fake.contents(part(2)).substr(0, 100)); break;
    case Twist::DiskFull: fake.failFileCall(output + ".joining", FakePlatform::Operation::Write, 2, error::DiskFull); break;
    case Twist::Existing: fake.addFile(output, "keep"); break;
    case Twist::ExistingReplaced:
        fake.addFile(output, "replace me");
        view.replace = true;
        break;
    case Twist::NoSums: fake.removeFile(folder + "/" + source + ".sha256"); break;
    case Twist::NoSumsGap:
        fake.removeFile(folder + "/" + source + ".sha256");
        fake.removeFile(part(2));
        break;
    case Twist::OutputIsPart:
        options.output = part(1);
        options.replace = true;
        break;
    case Twist::Interrupted: view.onPump = [&](int n) { stop = n >= 5; }; break;
    default: break;
    }
    const std::string in = input == "part" ? part(0) : input == "folder" ? folder : folder + "/" + source + ".sha256";
    SeeingConsumer seeing;
    options.consumers = {&seeing};
    const JoinResult result = JoinParts(fake, view, in, options);
    const int ok = int(JoinOutcome::Joined);
    if (outcome == ok) {
        QVERIFY(seeing.seen == data);
        QCOMPARE(seeing.parts, result.parts);
    }

    QCOMPARE(int(result.outcome), outcome);
    QVERIFY(view.log.size() >= std::size_t(expected.size()));
    for (int i = 0; i < expected.size(); ++i)
        QVERIFY2(view.log[std::size_t(i)].starts_with(expected[i].toStdString()), view.log[std::size_t(i)].c_str());
    if (outcome == ok)
        QVERIFY(fake.contents(output) == data);
    else if (Twist(twist) == Twist::Existing)
        QCOMPARE(fake.contents(output), std::string("keep"));
    else if (Twist(twist) == Twist::OutputIsPart)
        QCOMPARE(fake.contents(part(1)), data.substr(1024, 1024));
    else
        QVERIFY(!fake.hasFile(output));
    // Nothing half-written is left, under any name.
    for (const auto& entry : fake.listDirectory(folder).value)
        QVERIFY2(entry.name.find(".joining") == std::string::npos, entry.name.c_str());
    QCOMPARE(fake.openFiles(), 0);
    if (outcome == ok)
        QCOMPARE(view.done, view.total);
    if (outcome == ok && Twist(twist) != Twist::NoSums)
        QVERIFY(view.statuses.back() == "Joining: " + BarePartName(source, std::int64_t(result.parts) - 1));
    }
}

void tst_JoinFile::checksWithoutWriting_data()
{
    QTest::addColumn<int>("twist");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("all good") << int(Twist::None) << int(JoinOutcome::Checked)
                              << QStringList{"good report.doc.!00: OK (1024 bytes)", "good report.doc.!01: OK (1024 bytes)",
                                             "good report.doc.!02: OK (952 bytes)", "good report.doc (the parts joined): OK",
                                             "information All 3 parts of report.doc match their checksums"};
    QTest::newRow("damaged and missing") << int(Twist::Damaged) << int(JoinOutcome::CheckFailed)
                                         << QStringList{"good report.doc.!00: OK (1024 bytes)",
                                                        "bad report.doc.!01: FAILED, SHA-256 ", "bad report.doc.!02: MISSING",
                                                        "error 2 of 3 parts of report.doc failed the check"};
    QTest::newRow("no checksum file") << int(Twist::NoSums) << int(JoinOutcome::CheckFailed)
                                      << QStringList{"bad report.doc.!00: 1024 bytes, not checked",
                                                     "bad report.doc.!01: 1024 bytes, not checked",
                                                     "bad report.doc.!02: 952 bytes, not checked",
                                                     "error No checksum file: 3 parts of report.doc found, none could be checked"};
}

void tst_JoinFile::checksWithoutWriting()
{
    QFETCH(int, twist);
    QFETCH(int, outcome);
    QFETCH(QStringList, lines);
    FakePlatform fake;
    fake.addFile("/data/report.doc", patternBytes(3000, 4));
    RecordingView splitView;
    QCOMPARE(SplitFile(fake, splitView, {"report.doc", "/data/", 1024}).outcome, SplitOutcome::Done);
    if (Twist(twist) == Twist::Damaged) {
        fake.addFile(Folder + "/report.doc.!01", std::string(1024, 'x'));
        fake.removeFile(Folder + "/report.doc.!02");
    } else if (Twist(twist) == Twist::NoSums) {
        fake.removeFile(Folder + "/report.doc.sha256");
    }
    const int creates = fake.calls(FakePlatform::Operation::CreateFile);
    JoinOptions options;
    options.checkOnly = true;
    RecordingJoinView view;
    QCOMPARE(int(JoinParts(fake, view, Folder, options).outcome), outcome);
    QCOMPARE(view.log.size(), std::size_t(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(view.log[std::size_t(i)].starts_with(lines[i].toStdString()), view.log[std::size_t(i)].c_str());
    QCOMPARE(fake.calls(FakePlatform::Operation::CreateFile), creates);
}

void tst_JoinFile::findsTheSetOrSaysWhy_data()
{
    QTest::addColumn<QStringList>("files"); // path=contents
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("error"); // empty: joins
    const QString d64 = QString(64, 'a');
    QTest::newRow("nothing there") << QStringList{} << QString("/in/x.!00") << QString("error cannot open '/in/x.!00': No such file or directory");
    QTest::newRow("empty folder") << QStringList{"/in/readme=x"} << QString("/in") << QString("error No parts found in /in");
    QTest::newRow("two sets") << QStringList{"/in/a.!00=x", "/in/b.!00=y"} << QString("/in/")
                              << QString("error The folder /in/ holds the parts of more than one file (a and b)");
    QTest::newRow("a stranger's file") << QStringList{"/in/notes.txt=hello"} << QString("/in/notes.txt")
                                       << QString("error /in/notes.txt is not a part, a folder of parts or a checksum file");
    QTest::newRow("sums that reach outside") << QStringList{"/in/x.sha256=" + d64 + "  ../x.!00\n" + d64 + "  ../x\n"}
                                             << QString("/in/x.sha256") << QString("error /in/x.sha256 is not a part");
    QTest::newRow("sums out of order") << QStringList{"/in/x.sha256=" + d64 + "  x.!01\n" + d64 + "  x\n"}
                                       << QString("/in/x.sha256") << QString("error /in/x.sha256 is not a part");
    QTest::newRow("parts without sums") << QStringList{"/in/a b.!00=12", "/in/a b.!01=3"} << QString("/in/a b.!01") << QString("");
}

void tst_JoinFile::findsTheSetOrSaysWhy()
{
    QFETCH(QStringList, files);
    QFETCH(QString, input);
    QFETCH(QString, error);
    FakePlatform fake;
    fake.addDirectory("/in");
    for (const QString& file : files)
        fake.addFile(file.section('=', 0, 0).toStdString(), file.section('=', 1).toStdString());
    RecordingJoinView view;
    const JoinResult result = JoinParts(fake, view, input.toStdString());
    if (error.isEmpty()) {
        QCOMPARE(result.outcome, JoinOutcome::Joined);
        QCOMPARE(fake.contents("/in/a b"), std::string("123"));
        return;
    }
    QCOMPARE(result.outcome, JoinOutcome::Failed);
    QVERIFY2(!view.log.empty() && view.log.front().starts_with(error.toStdString()),
             view.log.empty() ? "" : view.log.front().c_str());
}

void tst_JoinFile::joinsOtherToolsSets_data()
{
    QTest::addColumn<QStringList>("lists"); // file=names listed, "*" for the whole file
    QTest::addColumn<QString>("damage");    // a part made another
    QTest::addColumn<QString>("output");    // given; empty: asked of the view, which answers /in/chosen or nothing
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("said"); // in order, beginning with
    const int ok = int(JoinOutcome::Joined);
    const QString note = "note Recognised a GNU split set: 3 parts, xaa to xac; ";
    QTest::newRow("every part listed") << QStringList{"p.md5=xaa xab xac"} << "" << "/in/out" << ok
                                       << QStringList{note + "checked with p.md5 (MD5 of every part)",
                                                      "information File /in/out joined from 3 parts, every part matching"};
    QTest::newRow("a part damaged") << QStringList{"p.md5=xaa xab xac"} << "xab" << "/in/out" << int(JoinOutcome::CheckFailed)
                                    << QStringList{note, "error Part xab is damaged: its MD5 is "};
    QTest::newRow("a list that skips a part") << QStringList{"p.md5=xaa xac"} << "" << "/in/out" << ok
                                              << QStringList{note + "checked with p.md5 (MD5 of some of the parts)",
                                                             "warning Part xab is not listed in p.md5: it could not be checked",
                                                             "information File /in/out joined from 3 parts"};
    QTest::newRow("a part past the list") << QStringList{"p.md5=xaa xab"} << "" << "/in/out" << int(JoinOutcome::CheckFailed)
                                          << QStringList{"note Recognised a GNU split set: 2 parts",
                                                         "error Part xac is not listed in p.md5: the folder holds parts of another split"};
    QTest::newRow("the whole file, by the name given") << QStringList{"out.sha1=*"} << "" << "/in/out" << ok
                                                       << QStringList{note + "checked with out.sha1 (SHA-1 of the whole file)",
                                                                      "information File /in/out joined from 3 parts, checked with"};
    QTest::newRow("the whole file, a part damaged") << QStringList{"out.sha1=*"} << "xac" << "/in/out" << int(JoinOutcome::CheckFailed)
                                                    << QStringList{note, "error Joined, the parts give SHA-1 "};
    QTest::newRow("no name: the view gives one") << QStringList{} << "" << "" << ok
                                                 << QStringList{"output? xaa is a part of a GNU split set", note,
                                                                "information File /in/chosen joined from 3 parts"};
    QTest::newRow("no name: the view gives none") << QStringList{} << "" << "none" << int(JoinOutcome::OutputNeeded)
                                                  << QStringList{"output? xaa is a part of a GNU split set"};
}

void tst_JoinFile::joinsOtherToolsSets()
{
    QFETCH(QStringList, lists);
    QFETCH(QString, damage);
    QFETCH(QString, output);
    QFETCH(int, outcome);
    QFETCH(QStringList, said);
    const std::string data = patternBytes(3000, 6);
    const std::map<std::string, std::string> parts{
        {"xaa", data.substr(0, 1024)}, {"xab", data.substr(1024, 1024)}, {"xac", data.substr(2048)}};
    // Checked parts go two at once where the platform allows it.
    for (const bool concurrent : {false, true}) {
        FakePlatform fake;
        fake.allowConcurrentCopies(concurrent);
        fake.setCaseSensitive(true);
        for (const auto& [name, bytes] : parts)
            fake.addFile("/in/" + name, name == damage.toStdString() ? std::string(bytes.size(), '#') : bytes);
        for (const QString& list : lists) {
            const bool md5 = list.contains(".md5");
            std::string text;
            for (const QString& name : list.section('=', 1).split(' ')) {
                const std::string bytes = name == "*" ? data : parts.at(name.toStdString());
                text += sha(bytes, md5 ? QCryptographicHash::Md5 : QCryptographicHash::Sha1) + "  "
                        + (name == "*" ? std::string("out") : name.toStdString()) + "\n";
            }
            fake.addFile("/in/" + list.section('=', 0, 0).toStdString(), text);
        }
        struct NotingView : RecordingJoinView {
            void showNote(const std::string& text) override { log.push_back("note " + text); }
        } view;
        JoinOptions options;
        options.blockSize = 700;
        options.output = output == "none" ? std::string() : output.toStdString();
        view.chosen = output.isEmpty() ? "/in/chosen" : "";
        const JoinResult result = JoinParts(fake, view, "/in/xab", options);
        QCOMPARE(int(result.outcome), outcome);
        std::size_t at = 0;
        for (const QString& line : said) {
            while (at < view.log.size() && !view.log[at].starts_with(line.toStdString()))
                ++at;
            QVERIFY2(at < view.log.size(), qPrintable(line));
        }
        const std::string joined = output.isEmpty() ? "/in/chosen" : "/in/out";
        QCOMPARE(fake.hasFile(joined) && fake.contents(joined) == data, outcome == int(JoinOutcome::Joined));
        QCOMPARE(fake.openFiles(), 0);
    }
}

QTEST_GUILESS_MAIN(tst_JoinFile)
#include "tst_joinfile.moc"
