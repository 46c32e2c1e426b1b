#include "platform/posixplatform.h"
#include "parts/mergescript.h"
#include "parts/partnaming.h"
#include "split/splitfile.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using darvolt::MergeScriptReach;
using darvolt::OutputFolder;

class tst_MergeScript : public QObject {
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
    void everyLineEndsInCrLf();
    void longCopyIsSpreadOverLinesWithinTheLimit_data();
    void longCopyIsSpreadOverLinesWithinTheLimit();
    void reachOfNames_data();
    void reachOfNames();
    void wineRejoinsAndDeletesOnlyTheParts_data();
    void wineRejoinsAndDeletesOnlyTheParts();
};

void tst_MergeScript::bytes_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray tail = "CHOICE  Erase partial files \r\nif errorlevel 2 goto stop\r\n";
    // echo: the source's name as ECHO shows it; page: the console code page
    // the script switches to, 0 for none.
    auto script = [&](const QByteArray& copy, const QByteArray& del, const QByteArray& echo, int page = 0) {
        // Each part the copy line names, quoted as there, is looked for
        // first; a missing one is named.
        QByteArray checks;
        for (const QByteArray& part : copy.sliced(8, copy.lastIndexOf(" \"") - 8).split('+')) {
            const QByteArray number = part.sliced(part.lastIndexOf(".!"), part.size() - part.lastIndexOf(".!") - 1);
            checks += "if not exist " + part + " (ECHO Part " + echo + number
                      + " is missing. Put every part in this folder and run MERGE.BAT again.& goto stop)\r\n";
        }
        const QByteArray chcp = page == 0 ? QByteArray()
                                          : "for /f \"tokens=2 delims=:.\" %%c in ('chcp') do set DARVOLT_CP=%%c\r\n"
                                            "chcp " + QByteArray::number(page) + " >nul\r\n";
        const QByteArray back = page == 0 ? QByteArray() : "@chcp %DARVOLT_CP% >nul\r\n@set DARVOLT_CP=\r\n";
        return "ECHO OFF\r\n" + chcp + checks + copy + "\r\nif errorlevel 1 goto stop\r\n" + tail + del
               + "\r\n:STOP\r\nECHO ON\r\n\r\n@ECHO FILE " + echo + " WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1\r\n"
               + back;
    };

    QTest::newRow("three parts") << QStringList{"report.doc.!00", "report.doc.!01", "report.doc.!02"}
                                 << QByteArray("report.doc")
                                 << script(R"(Copy /B "report.doc.!00"+"report.doc.!01"+"report.doc.!02" "report.doc")",
                                           "del report.doc.!??", "report.doc");
    QTest::newRow("two parts") << QStringList{"a.!00", "a.!01"} << QByteArray("a")
                               << script(R"(Copy /B "a.!00"+"a.!01" "a")", "del a.!??", "a");
    QTest::newRow("one part") << QStringList{"a.b.!00"} << QByteArray("a.b")
                              << script(R"(Copy /B "a.b.!00" "a.b")", "del a.b.!??", "a.b");
    QTest::newRow("three-digit last part") << QStringList{"report.doc.!103", "report.doc.!104"}
                                           << QByteArray("report.doc")
                                           << script(R"(Copy /B "report.doc.!103"+"report.doc.!104" "report.doc")",
                                                     "del report.doc.!??\r\ndel \"report.doc.!103\" \"report.doc.!104\"",
                                                     "report.doc");
    QTest::newRow("case kept") << QStringList{"Report.Doc.!00"} << QByteArray("Report.Doc")
                               << script(R"(Copy /B "Report.Doc.!00" "Report.Doc")", "del Report.Doc.!??", "Report.Doc");
    QTest::newRow("blank") << QStringList{"my file.txt.!00", "my file.txt.!01"} << QByteArray("my file.txt")
                           << script(R"(Copy /B "my file.txt.!00"+"my file.txt.!01" "my file.txt")",
                                     R"(del "my file.txt.!??")", "my file.txt");
    QTest::newRow("ampersand") << QStringList{"a&b.!00"} << QByteArray("a&b")
                               << script(R"(Copy /B "a&b.!00" "a&b")", R"(del "a&b.!??")", "a^&b");
    QTest::newRow("percent") << QStringList{"100%.txt.!00"} << QByteArray("100%.txt")
                             << script(R"(Copy /B "100%%.txt.!00" "100%%.txt")", R"(del "100%%.txt.!??")", "100%%.txt");
    QTest::newRow("operators") << QStringList{"x|y<z>^(1).!00"} << QByteArray("x|y<z>^(1)")
                               << script(R"x(Copy /B "x|y<z>^(1).!00" "x|y<z>^(1)")x", R"x(del "x|y<z>^(1).!??")x",
                                         "x^|y^<z^>^^^(1^)");
    QTest::newRow("delimiters") << QStringList{"a,b;c=d.!00"} << QByteArray("a,b;c=d")
                                << script(R"(Copy /B "a,b;c=d.!00" "a,b;c=d")", R"(del "a,b;c=d.!??")", "a,b;c=d");
    QTest::newRow("line break and quote become ?")
        << QStringList{QString::fromLatin1("a\r\nb\"*.!00")} << QByteArray("a\r\nb\"*")
        << script(R"(Copy /B "a??b??.!00" "a??b??")", R"(del "a??b??.!??")", "a??b??");
    QTest::newRow("bytes that are not UTF-8 kept") << QStringList{QString::fromLatin1("\xe9t\xe9.!00")}
                                                   << QByteArray("\xe9t\xe9")
                                                   << script("Copy /B \"\xe9t\xe9.!00\" \"\xe9t\xe9\"",
                                                             "del \xe9t\xe9.!??", "\xe9t\xe9");
    // Names beyond ASCII in the first console code page that holds them.
    const auto beyond = [&](const char* tag, const char* utf8, const QByteArray& inPage, int page) {
        const QByteArray name(utf8);
        QTest::newRow(tag) << QStringList{QString::fromUtf8(name + ".!00"), QString::fromUtf8(name + ".!01")} << name
                           << script("Copy /B \"" + inPage + ".!00\"+\"" + inPage + ".!01\" \"" + inPage + "\"",
                                     "del " + inPage + ".!??", inPage, page);
    };
    beyond("German, 850", "\xc3\x9c" "bersicht.pdf", "\x9a" "bersicht.pdf", 850);
    beyond("French, 850", "r\xc3\xa9sum\xc3\xa9-\xc3\xa0-l'\xc3\xa9t\xc3\xa9.txt", "r\x82sum\x82-\x85-l'\x82t\x82.txt", 850);
    beyond("Polish, 852", "\xc5\xbb\xc3\xb3\xc5\x82w.txt", "\xbd\xa2\x88w.txt", 852);
    beyond("Czech, 852", "\xc5\x99\xc3\xad\xc4\x8d" "ka", "\xfd\xa1\x9fka", 852);
    beyond("Turkish, 857", "I\xc5\x9f\xc4\xb1k", "I\x9f\x8dk", 857);
    beyond("Latvian, 775", "\xc5\xab" "dens", "\xd7" "dens", 775);
    beyond("Greek, 737", "\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1", "\x97\xa3\xe2\x9a\x98", 737);
    beyond("Russian, 866", "\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82", "\x8e\xe2\xe7\xf1\xe2", 866);
    beyond("Greek and French: no page holds both, kept", "\xce\xa9\xc3\xa9", "\xce\xa9\xc3\xa9", 0);
    beyond("Japanese: no page, kept", "\xe6\x97\xa5\xe6\x9c\xac", "\xe6\x97\xa5\xe6\x9c\xac", 0);
    QTest::newRow("850, quoted and escaped") << QStringList{QString::fromUtf8("\xc3\xa4 & (1).!00")}
                                             << QByteArray("\xc3\xa4 & (1)")
                                             << script("Copy /B \"\x84 & (1).!00\" \"\x84 & (1)\"",
                                                       "del \"\x84 & (1).!??\"", "\x84 ^& ^(1^)", 850);
}

void tst_MergeScript::bytes()
{
    QFETCH(QStringList, parts);
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);
    std::vector<std::string> bare;
    for (const auto& p : parts)
        bare.push_back(source.toStdString() + p.toUtf8().toStdString().substr(p.toUtf8().lastIndexOf(".!")));
    QCOMPARE(QByteArray::fromStdString(darvolt::MergeScriptText(bare, source.toStdString())), expected);
}

void tst_MergeScript::everyLineEndsInCrLf()
{
    const std::string text = darvolt::MergeScriptText({"a.!00"}, "a");
    QVERIFY(text.ends_with("2.1\r\n"));
    int lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            QVERIFY(i > 0 && text[i - 1] == '\r');
            ++lines;
        } else if (text[i] == '\r') {
            QVERIFY(i + 1 < text.size() && text[i + 1] == '\n');
        }
    }
    QCOMPARE(lines, 11);
    QVERIFY(text.find("\r\nECHO ON\r\n\r\n@ECHO") != std::string::npos);
}

void tst_MergeScript::longCopyIsSpreadOverLinesWithinTheLimit_data()
{
    QTest::addColumn<int>("parts");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("copyLines");
    QTest::addColumn<int>("delLines");
    QTest::addColumn<QByteArray>("firstDel");
    QTest::newRow("100 parts: one copy line, one del line") << 100 << QByteArray("a.b") << 1 << 1 << QByteArray("del a.b.!??");
    QTest::newRow("101 parts") << 101 << QByteArray("a.b") << 1 << 2 << QByteArray("del a.b.!??");
    QTest::newRow("700 parts of a long name") << 700 << QByteArray("quarterly report 50% & more.xlsx") << 4 << 5
                                              << QByteArray(R"(del "quarterly report 50%% & more.xlsx.!??")");
    QTest::newRow("1001 parts") << 1001 << QByteArray("x") << 2 << 2 << QByteArray("del x.!??");
}

void tst_MergeScript::longCopyIsSpreadOverLinesWithinTheLimit()
{
    QFETCH(int, parts);
    QFETCH(QByteArray, name);
    QFETCH(int, copyLines);
    QFETCH(int, delLines);
    QFETCH(QByteArray, firstDel);
    std::vector<std::string> bare;
    for (int i = 0; i < parts; ++i)
        bare.push_back(darvolt::BarePartName(name.toStdString(), i));
    const auto lines = darvolt::MergeScriptLines(bare, name.toStdString());
    QCOMPARE(int(lines.size()), 7 + parts + 2 * copyLines + delLines);
    for (const auto& line : lines)
        QVERIFY(line.size() <= darvolt::MaxScriptLine);

    // Every part is looked for first. The copy lines, each followed by its
    // errorlevel check, join every part once, in order, into the target; the
    // lines after the first append to what the first one made. The del
    // lines after the pattern name every part from 100 on.
    const auto inQuotes = [](std::string text) {
        for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2))
            text.insert(at, 1, '%');
        return '"' + text + '"';
    };
    const std::string target = inQuotes(name.toStdString());
    std::string joined, expected, deleted, expectedDeleted;
    for (int i = 1; i <= copyLines; ++i) {
        const std::string& line = lines[std::size_t(parts + 2 * i - 1)];
        QCOMPARE(lines[std::size_t(parts + 2 * i)], "if errorlevel 1 goto stop");
        const std::string head = i == 1 ? "Copy /B " : "Copy /B " + target + "+";
        QVERIFY2(line.starts_with(head) && line.ends_with(" " + target), line.c_str());
        joined += (i == 1 ? "" : "+") + line.substr(head.size(), line.size() - head.size() - target.size() - 1);
    }
    for (int i = 0; i < parts; ++i) {
        const std::string& check = lines[std::size_t(i + 1)];
        QVERIFY2(check.starts_with("if not exist " + inQuotes(bare[std::size_t(i)]) + " (ECHO Part ")
                     && check.ends_with(" is missing. Put every part in this folder and run MERGE.BAT again.& goto stop)"),
                 check.c_str());
        expected += (i == 0 ? "" : "+") + inQuotes(bare[std::size_t(i)]);
        if (i >= 100)
            expectedDeleted += " " + inQuotes(bare[std::size_t(i)]);
    }
    QCOMPARE(joined, expected);
    const std::size_t firstDelLine = std::size_t(parts + 2 * copyLines) + 3;
    QCOMPARE(QByteArray::fromStdString(lines[firstDelLine]), firstDel);
    for (std::size_t i = firstDelLine + 1; i < firstDelLine + std::size_t(delLines); ++i) {
        QVERIFY(lines[i].starts_with("del \""));
        deleted += lines[i].substr(3);
    }
    QCOMPARE(deleted, expectedDeleted);
}

void tst_MergeScript::reachOfNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("reach");
    const int joins = int(MergeScriptReach::Joins);
    const int notOnWindows = int(MergeScriptReach::NameNotOnWindows);
    const int unreadable = int(MergeScriptReach::NameUnreadable);
    QTest::newRow("plain") << QByteArray("report.doc") << joins;
    QTest::newRow("what cmd acts on, quoted") << QByteArray("a^b (c) & 50%.txt") << joins;
    QTest::newRow("German") << QByteArray("\xc3\x9c" "bersicht.pdf") << joins;
    QTest::newRow("Russian") << QByteArray("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82") << joins;
    QTest::newRow("Japanese") << QByteArray("\xe6\x97\xa5\xe6\x9c\xac.txt") << unreadable;
    QTest::newRow("Greek and French in one name") << QByteArray("\xce\xa9\xc3\xa9") << unreadable;
    QTest::newRow("bytes that are not UTF-8") << QByteArray("\xe9t\xe9") << unreadable;
    QTest::newRow("a character from beyond 16 bits") << QByteArray("a\xf0\x9f\x98\x80") << unreadable;
    QTest::newRow("an overlong slash") << QByteArray("a\xc0\xaf" "b") << unreadable;
    QTest::newRow("cut off") << QByteArray("a\xc3") << unreadable;
    for (const char* name : {"a:b", "a?b", "a*b", "a\"b", "a<b", "a>b", "a|b", "a\\b", "a\tb", "a\x7f" "b"})
        QTest::newRow(qPrintable(QStringLiteral("holds %1").arg(QString::fromLatin1(name).toLatin1().toPercentEncoding())))
            << QByteArray(name) << notOnWindows;
    QTest::newRow("a device") << QByteArray("con") << notOnWindows;
    QTest::newRow("a device with an extension") << QByteArray("Nul.txt") << notOnWindows;
    QTest::newRow("a device and a blank") << QByteArray("aux .tar.gz") << notOnWindows;
    QTest::newRow("a numbered device") << QByteArray("LPT9.doc") << notOnWindows;
    QTest::newRow("no device 0") << QByteArray("com0.doc") << joins;
    QTest::newRow("longer than a device") << QByteArray("console.txt") << joins;
}

void tst_MergeScript::reachOfNames()
{
    QFETCH(QByteArray, name);
    QFETCH(int, reach);
    QCOMPARE(int(darvolt::MergeScriptReachOf(name.toStdString())), reach);
}

void tst_MergeScript::wineRejoinsAndDeletesOnlyTheParts_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("parts");
    // 1: the middle part is missing; 2: Copy cannot write the file; 3: the
    // name is one MERGE.BAT cannot read.
    QTest::addColumn<int>("fault");
    // The Unix locale wine runs in, whose DOS code page is the one cmd.exe
    // reads batch files in; empty: wine's default, without a console.
    QTest::addColumn<QByteArray>("locale");
    QTest::newRow("plain") << QByteArray("report.doc") << 3 << 0 << QByteArray();
    QTest::newRow("blank, ampersand, percent") << QByteArray("my file & 50%PATH%.bin") << 3 << 0 << QByteArray();
    QTest::newRow("operators") << QByteArray("a^b (c) d,e;f=g") << 3 << 0 << QByteArray();
    QTest::newRow("700 parts, blank, ampersand, percent") << QByteArray("my file & 50%PATH%.bin") << 700 << 0
                                                           << QByteArray();
    QTest::newRow("part missing") << QByteArray("my file & 50%PATH%.bin") << 3 << 1 << QByteArray();
    QTest::newRow("700 parts, one missing") << QByteArray("a^b (c) d,e;f=g") << 700 << 1 << QByteArray();
    QTest::newRow("copy fails") << QByteArray("report.doc") << 3 << 2 << QByteArray();
    // Names beyond ASCII, on a console of another code page than the one
    // MERGE.BAT switches to.
    QTest::newRow("German, 850") << QByteArray("\xc3\x9c" "bersicht (1) & 50%.pdf") << 3 << 0 << QByteArray("de_DE");
    QTest::newRow("German, 850, part missing") << QByteArray("\xc3\x9c" "bersicht.pdf") << 3 << 1
                                               << QByteArray("de_DE");
    QTest::newRow("Polish, 852") << QByteArray("\xc5\xbb\xc3\xb3\xc5\x82w & \xc4\x87ma.txt") << 3 << 0
                                 << QByteArray("pl_PL");
    QTest::newRow("Turkish, 857") << QByteArray("I\xc5\x9f\xc4\xb1k.doc") << 3 << 0 << QByteArray("tr_TR");
    QTest::newRow("Latvian, 775") << QByteArray("\xc5\xaa" "dens.txt") << 3 << 0 << QByteArray("lv_LV");
    QTest::newRow("Greek, 737") << QByteArray("\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1.txt") << 3 << 0
                                << QByteArray("el_GR");
    QTest::newRow("Russian, 866") << QByteArray("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82.txt") << 3 << 0
                                  << QByteArray("ru_RU");
    QTest::newRow("Japanese: stops, naming the part") << QByteArray("\xe6\x97\xa5\xe6\x9c\xac.txt") << 3 << 3
                                                      << QByteArray("de_DE");
}

namespace {

QProcessEnvironment wineEnvironment()
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("WINEDEBUG", "-all");
    // A new prefix would otherwise offer to install Mono and Gecko.
    env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
    return env;
}

// The UTF-8 locale of that name, made once for the test run in a folder of
// its own (LOCPATH), so that the machine needs none installed. Empty when it
// cannot be made, with why.
QString localeFolder(const QByteArray& locale, QString& why)
{
    static QTemporaryDir folder;
    static QSet<QByteArray> made;
    if (!made.contains(locale)) {
        QProcess localedef;
        localedef.start("localedef", {"-i", QString::fromLatin1(locale), "-f", "UTF-8",
                                      folder.filePath(QString::fromLatin1(locale + ".UTF-8"))});
        if (!localedef.waitForFinished(120000) || localedef.exitCode() != 0) {
            why = "localedef cannot make " + QString::fromLatin1(locale) + ".UTF-8 (tools/setup-deps.sh test installs "
                  "the locales package): " + QString::fromLocal8Bit(localedef.readAllStandardError());
            return {};
        }
        made.insert(locale);
    }
    return folder.path();
}

} // namespace

void tst_MergeScript::wineRejoinsAndDeletesOnlyTheParts()
{
    QFETCH(QByteArray, name);
    QFETCH(int, parts);
    QFETCH(int, fault);
    QFETCH(QByteArray, locale);
    const QString wine = QStandardPaths::findExecutable("wine");
    if (wine.isEmpty())
        QSKIP("wine is not installed (tools/setup-deps.sh test installs it)");
    QProcess probe;
    probe.setProcessEnvironment(wineEnvironment());
    probe.start(wine, {"cmd", "/c", "echo", "darvolt-probe"});
    if (!probe.waitForFinished(240000) || !probe.readAllStandardOutput().contains("darvolt-probe"))
        QSKIP("wine cannot start a command interpreter on this machine");
    QProcessEnvironment env = wineEnvironment();
    const QString script = QStandardPaths::findExecutable("script");
    if (!locale.isEmpty()) {
        // chcp needs a console, and wine makes one on a terminal: `script`
        // gives it one. Its file names are read in UTF-8 through the Unix
        // locale, its DOS code page follows the locale's language, and its
        // messages stay English, so that CHOICE asks [Y,N].
        if (script.isEmpty())
            QSKIP("script (bsdutils) is not installed");
        QString why;
        const QString locales = localeFolder(locale, why);
        if (locales.isEmpty() || localeFolder("en_US", why).isEmpty())
            QSKIP(qPrintable(why));
        env.remove("LC_ALL");
        env.insert("LANG", "C.UTF-8");
        env.insert("LOCPATH", locales);
        env.insert("LC_CTYPE", QString::fromLatin1(locale + ".UTF-8"));
        env.insert("LC_MESSAGES", "en_US.UTF-8");
    }

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    // Parts of 1 KB; the last one short.
    const std::string data = patternBytes(std::size_t(parts) * 1024 - 100, 11);
    {
        QFile f(dir.filePath(QFile::decodeName(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data.data(), qint64(data.size()));
    }
    const QString output = QFile::decodeName(QByteArray::fromStdString(OutputFolder(folder, name.toStdString())));
    QVERIFY(QDir().mkpath(output));
    // Bystanders the script must leave alone. Another file's part joins them
    // after the split, which refuses a folder that holds one.
    const QStringList bystanders = {"other.txt", QFile::decodeName(name) + ".txt", QFile::decodeName(name) + ".!xyz",
                                    "x.!00"};
    const auto place = [&](const QString& b) {
        QFile f(output + "/" + b);
        return f.open(QIODevice::WriteOnly) && f.write("keep") == 4;
    };
    for (const auto& b : bystanders.mid(0, 3))
        QVERIFY(place(b));

    darvolt::PosixPlatformOptions options;
    options.fileManagerCommand.clear();
    darvolt::PosixPlatform platform(options);
    RecordingView view;
    QCOMPARE(SplitFile(platform, view, {name.toStdString(), folder, 1024}).outcome, darvolt::SplitOutcome::Done);
    QVERIFY(place(bystanders.last()));
    QVERIFY(QFile::exists(output + "/" + QFile::decodeName(QByteArray::fromStdString(
                                             darvolt::BarePartName(name.toStdString(), parts - 1)))));
    QStringList expected = bystanders;
    expected << "MERGE.BAT" << "merge.sh" << QFile::decodeName(name) + ".sha256";
    for (int i = 0; i < parts; ++i)
        expected << QFile::decodeName(QByteArray::fromStdString(darvolt::BarePartName(name.toStdString(), i)));
    QByteArray missing;
    if (fault == 1) {
        const QString part = expected.takeAt(expected.size() - parts + parts / 2);
        missing = part.toUtf8();
        QVERIFY(QFile::remove(output + "/" + part));
    } else if (fault == 2) { // the file a link into a folder that does not exist
        QVERIFY(QFile::link("no such folder/joined", output + "/" + QFile::decodeName(name)));
    }

    QProcess cmd;
    cmd.setProcessEnvironment(env);
    cmd.setWorkingDirectory(output);
    cmd.setProcessChannelMode(QProcess::MergedChannels);
    QByteArray said;
    if (locale.isEmpty()) {
        cmd.start(wine, {"cmd", "/c", "MERGE.BAT"});
        QVERIFY(cmd.waitForStarted());
        cmd.write("Y\r\n");
        cmd.closeWriteChannel();
        QVERIFY(cmd.waitForFinished(480000));
        said = cmd.readAll();
    } else {
        // On a terminal CHOICE takes the key once it asks, and `script`
        // ends the session when its input ends: the answer goes in when the
        // question is there, and the input stays open until cmd has ended,
        // which the line after it tells (wine's own server, started on the
        // terminal, may hold it longer).
        const QByteArray done = "darvolt-wine-cmd-ended";
        // A wide terminal keeps every line whole.
        cmd.start(script, {"-qec", "stty cols 1000; " + wine + " cmd /c MERGE.BAT; echo " + done, "/dev/null"});
        QVERIFY(cmd.waitForStarted());
        bool answered = false;
        QDeadlineTimer deadline(std::chrono::minutes(4));
        while (cmd.state() != QProcess::NotRunning && !said.contains(done) && !deadline.hasExpired()) {
            cmd.waitForReadyRead(1000);
            said += cmd.readAll();
            if (!answered && said.contains("Erase partial files")) {
                cmd.write("Y");
                answered = true;
            }
        }
        QVERIFY2(said.contains(done), said.constData());
        cmd.closeWriteChannel();
        QVERIFY(cmd.waitForFinished(60000));
        said += cmd.readAll();
    }

    QFile joined(output + "/" + QFile::decodeName(name));
    if (fault) {
        // Stopped before the question: nothing joined, every part kept.
        QVERIFY2(!QFileInfo(joined).exists() && !said.contains("Erase partial files"), said.constData());
        // The missing part is named.
        if (fault != 2)
            QVERIFY2(said.contains(" is missing. Put every part in this folder and run MERGE.BAT again.")
                         && said.contains("Part " + missing),
                     said.constData());
    } else {
        QVERIFY2(joined.open(QIODevice::ReadOnly), said.constData());
        QVERIFY(joined.readAll() == QByteArray::fromStdString(data));
        // The name read back as it is, whatever the page it was written in.
        QVERIFY2(said.contains("FILE " + name + " WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1"), said.constData());
        expected = bystanders;
        expected << "MERGE.BAT" << QFile::decodeName(name) << "merge.sh" << QFile::decodeName(name) + ".sha256";
    }
    QStringList left = QDir(output).entryList(QDir::Files);
    left.sort();
    expected.sort();
    QCOMPARE(left, expected);
}

QTEST_GUILESS_MAIN(tst_MergeScript)
#include "tst_mergescript.moc"
