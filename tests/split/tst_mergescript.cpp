#include "platform/posixplatform.h"
#include "parts/mergescript.h"
#include "parts/partnaming.h"
#include "split/splitfile.h"
#include "split/recordingview.h"
#include "split/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using darvolt::OutputFolder;

class tst_MergeScript : public QObject {
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
    void everyLineEndsInCrLf();
    void longCopyIsSpreadOverLinesWithinTheLimit_data();
    void longCopyIsSpreadOverLinesWithinTheLimit();
    void wineRejoinsAndDeletesOnlyTheParts_data();
    void wineRejoinsAndDeletesOnlyTheParts();
};

void tst_MergeScript::bytes_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray tail = "CHOICE  Erase partial files \r\nif errorlevel 2 goto stop\r\n";
    auto script = [&](const QByteArray& copy, const QByteArray& del, const QByteArray& echo) {
        // Each part the copy line names, quoted as there, is looked for first.
        QByteArray checks;
        for (const QByteArray& part : copy.sliced(8, copy.lastIndexOf(" \"") - 8).split('+'))
            checks += "if not exist " + part + " goto stop\r\n";
        return "ECHO OFF\r\n" + checks + copy + "\r\nif errorlevel 1 goto stop\r\n" + tail + del
               + "\r\n:STOP\r\nECHO ON\r\n\r\n@ECHO FILE " + echo + " WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1\r\n";
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
    QTest::newRow("non-ASCII bytes kept") << QStringList{QString::fromLatin1("\xe9t\xe9.!00")} << QByteArray("\xe9t\xe9")
                                          << script("Copy /B \"\xe9t\xe9.!00\" \"\xe9t\xe9\"", "del \xe9t\xe9.!??",
                                                    "\xe9t\xe9");
}

void tst_MergeScript::bytes()
{
    QFETCH(QStringList, parts);
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);
    std::vector<std::string> bare;
    for (const auto& p : parts)
        bare.push_back(p.toLatin1().toStdString());
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
        QCOMPARE(lines[std::size_t(i + 1)], "if not exist " + inQuotes(bare[std::size_t(i)]) + " goto stop");
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

void tst_MergeScript::wineRejoinsAndDeletesOnlyTheParts_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("parts");
    QTest::addColumn<int>("fault"); // 1: the middle part is missing; 2: Copy cannot write the file
    QTest::newRow("plain") << QByteArray("report.doc") << 3 << 0;
    QTest::newRow("blank, ampersand, percent") << QByteArray("my file & 50%PATH%.bin") << 3 << 0;
    QTest::newRow("operators") << QByteArray("a^b (c) d,e;f=g") << 3 << 0;
    QTest::newRow("700 parts, blank, ampersand, percent") << QByteArray("my file & 50%PATH%.bin") << 700 << 0;
    QTest::newRow("part missing") << QByteArray("my file & 50%PATH%.bin") << 3 << 1;
    QTest::newRow("700 parts, one missing") << QByteArray("a^b (c) d,e;f=g") << 700 << 1;
    QTest::newRow("copy fails") << QByteArray("report.doc") << 3 << 2;
}

void tst_MergeScript::wineRejoinsAndDeletesOnlyTheParts()
{
    QFETCH(QByteArray, name);
    QFETCH(int, parts);
    QFETCH(int, fault);
    const QString wine = QStandardPaths::findExecutable("wine");
    if (wine.isEmpty())
        QSKIP("wine is not installed (tools/setup-deps.sh test installs it)");
    QProcess probe;
    probe.setProcessEnvironment([] {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEDEBUG", "-all");
        // A new prefix would otherwise offer to install Mono and Gecko.
        env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
        return env;
    }());
    probe.start(wine, {"cmd", "/c", "echo", "darvolt-probe"});
    if (!probe.waitForFinished(240000) || !probe.readAllStandardOutput().contains("darvolt-probe"))
        QSKIP("wine cannot start a command interpreter on this machine");

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
    if (fault == 1)
        QVERIFY(QFile::remove(output + "/" + expected.takeAt(expected.size() - parts + parts / 2)));
    else if (fault == 2) // the file a link into a folder that does not exist
        QVERIFY(QFile::link("no such folder/joined", output + "/" + QFile::decodeName(name)));

    QProcess cmd;
    cmd.setProcessEnvironment(probe.processEnvironment());
    cmd.setWorkingDirectory(output);
    cmd.start(wine, {"cmd", "/c", "MERGE.BAT"});
    QVERIFY(cmd.waitForStarted());
    cmd.write("Y\r\n");
    cmd.closeWriteChannel();
    QVERIFY(cmd.waitForFinished(480000));
    const QByteArray said = cmd.readAllStandardOutput();

    QFile joined(output + "/" + QFile::decodeName(name));
    if (fault) {
        // Stopped before the question: nothing joined, every part kept.
        QVERIFY2(!QFileInfo(joined).exists() && !said.contains("Erase partial files"), said.constData());
    } else {
        QVERIFY2(joined.open(QIODevice::ReadOnly), said.constData());
        QVERIFY(joined.readAll() == QByteArray::fromStdString(data));
        QVERIFY2(said.contains("WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1"), said.constData());
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
