// Every command line the README, the manual pages and the user manual show,
// typed into an interactive bash (history expansion on, as a user's shell
// has it) on a scratch set, does what the page says: it ends with status 0
// and splits the file, joins it back byte for byte, or checks the parts.
//
// A documented command is a line of a code block (README), of an .EX block
// (manual pages) or of a <pre> that is not a synopsis (user manual) that
// starts with one of the programs below.

#include "support/programrun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

const QStringList Programs{"darvolt-split", "darvolt-join", "sh", "cat", "ls", "sha256sum", "par2"};

struct Documented {
    QString where; // file:line
    QString command;
};

void keepCommand(QList<Documented>& found, const QString& file, int line, const QString& text)
{
    const QString command = text.trimmed();
    if (Programs.contains(command.section(u' ', 0, 0)))
        found.append({QStringLiteral("%1:%2").arg(file).arg(line), command});
}

QStringList linesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n') : QStringList();
}

QList<Documented> readmeCommands(const QString& path)
{
    QList<Documented> found;
    const QStringList lines = linesOf(path);
    bool fenced = false;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral("```")))
            fenced = !fenced;
        else if (fenced || lines[i].startsWith(QStringLiteral("    ")))
            keepCommand(found, QStringLiteral("README.md"), i + 1, lines[i]);
    }
    return found;
}

QList<Documented> manCommands(const QString& path)
{
    QList<Documented> found;
    const QStringList lines = linesOf(path);
    bool example = false;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i] == QStringLiteral(".EX") || lines[i] == QStringLiteral(".EE")) {
            example = lines[i] == QStringLiteral(".EX");
            continue;
        }
        if (!example)
            continue;
        QString text = lines[i];
        text.replace(QStringLiteral("\\-"), QStringLiteral("-"))
            .replace(QStringLiteral("\\(aq"), QStringLiteral("'"))
            .replace(QStringLiteral("\\(dq"), QStringLiteral("\""))
            .replace(QStringLiteral("\\&"), QString())
            .replace(QStringLiteral("\\e"), QStringLiteral("\\"));
        keepCommand(found, QFileInfo(path).fileName(), i + 1, text);
    }
    return found;
}

QList<Documented> htmlCommands(const QString& path)
{
    QList<Documented> found;
    const QString page = linesOf(path).join(u'\n');
    static const QRegularExpression pre(QStringLiteral(R"(<pre>(.*?)</pre>)"),
                                        QRegularExpression::DotMatchesEverythingOption);
    for (auto match = pre.globalMatch(page); match.hasNext();) {
        const auto m = match.next();
        const int firstLine = int(page.left(m.capturedStart(1)).count(u'\n')) + 1;
        const QStringList lines = m.captured(1).split(u'\n');
        for (int i = 0; i < lines.size(); ++i) {
            QString text = lines[i];
            text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            text.replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            keepCommand(found, QStringLiteral("darvolt.html"), firstLine + i, text);
        }
    }
    return found;
}

QList<Documented> allCommands()
{
    const QString src = QStringLiteral(DARVOLT_SOURCE_DIR);
    QList<Documented> all = readmeCommands(src + QStringLiteral("/README.md"));
    for (const char* page : {"darvolt", "darvolt-split", "darvolt-join"})
        all += manCommands(src + QStringLiteral("/src/app/man/%1.1.in").arg(QString::fromLatin1(page)));
    all += htmlCommands(src + QStringLiteral("/src/app/help/darvolt.html"));
    return all;
}

// What a command should leave behind.
enum class Effect { Splits, Joins, Checks };

Effect effectOf(const QString& command)
{
    const QStringList words = command.split(u' ', Qt::SkipEmptyParts);
    if (words.first() == QStringLiteral("darvolt-split"))
        return Effect::Splits;
    if (words.first() == QStringLiteral("sha256sum") || words.first() == QStringLiteral("par2"))
        return Effect::Checks;
    if (words.first() == QStringLiteral("darvolt-join"))
        for (const QString& word : words)
            if (word.startsWith(QStringLiteral("--ch"))
                || (word.startsWith(u'-') && !word.startsWith(QStringLiteral("--")) && word.contains(u'c')))
                return Effect::Checks;
    return Effect::Joins;
}

QByteArray digestOf(const QStringList& paths)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& path : paths) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        hash.addData(&f);
    }
    return hash.result();
}

// The parts of report.doc in a folder, in number order.
QStringList partsIn(const QDir& folder)
{
    QStringList parts;
    for (int i = 0; folder.exists(QStringLiteral("report.doc.!%1").arg(i, 2, 10, QChar(u'0'))); ++i)
        parts << folder.filePath(QStringLiteral("report.doc.!%1").arg(i, 2, 10, QChar(u'0')));
    return parts;
}

// Hard links of every file of `from` in a new folder `to`: the commands read
// the set and write new files beside it, so the set itself is shared.
bool linkFiles(const QDir& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    for (const QString& name : from.entryList(QDir::Files))
        if (::link(QFile::encodeName(from.filePath(name)).constData(),
                   QFile::encodeName(to + u'/' + name).constData()) != 0)
            return false;
    return true;
}

// folder/report.doc of `size` bytes: some data, the rest holes.
bool makeSource(const QString& folder, qint64 size)
{
    QFile source(folder + QStringLiteral("/report.doc"));
    if (!QDir().mkpath(folder) || !source.open(QIODevice::WriteOnly))
        return false;
    for (const qint64 at : {qint64(0), size / 2 - 1000, size - 70000}) {
        QByteArray block(70000, Qt::Uninitialized);
        for (int i = 0; i < block.size(); ++i)
            block[i] = char((at >> 10) + i * 31 + i / 977);
        if (!source.seek(at) || source.write(block) != block.size())
            return false;
    }
    return true;
}

bool needsPar2(const QString& command)
{
    return command.startsWith(QStringLiteral("par2")) || command.contains(QStringLiteral(" -r"))
           || command.contains(QStringLiteral("--recovery"));
}

} // namespace

class tst_DocCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void documentedCommandWorks_data();
    void documentedCommandWorks();

private:
    QTemporaryDir scratch_;
    QByteArray splitDigest_; // of the report.doc the split commands split
    QByteArray joinDigest_;  // of the report.doc whose set the others join
    bool par2_ = false;
};

void tst_DocCommands::initTestCase()
{
    // Every source shows commands of both programs, so the extraction finds them.
    QSet<QString> sources;
    QSet<QString> programs;
    for (const Documented& d : allCommands()) {
        sources << d.where.section(u':', 0, 0);
        programs << d.command.section(u' ', 0, 0);
    }
    QCOMPARE(sources, (QSet<QString>{"README.md", "darvolt-split.1.in", "darvolt-join.1.in", "darvolt.html"}));
    QVERIFY(programs.contains("darvolt-split") && programs.contains("darvolt-join") && programs.contains("sh"));

    par2_ = !QStandardPaths::findExecutable(QStringLiteral("par2")).isEmpty();
    if (!par2_ && qEnvironmentVariableIsSet("CI"))
        QFAIL("par2 is not installed (tools/setup-deps.sh test installs it)");

    // To split: larger than every part size the examples name (25 MiB),
    // with data here and there and holes between, so copies stay quick.
    // To join and check: a smaller one, cut into three parts.
    const QDir root(scratch_.path());
    QVERIFY(makeSource(root.filePath(QStringLiteral("source")), qint64(60) << 20));
    QVERIFY(makeSource(root.filePath(QStringLiteral("small")), qint64(3) << 20));
    splitDigest_ = digestOf({root.filePath(QStringLiteral("source/report.doc"))});
    joinDigest_ = digestOf({root.filePath(QStringLiteral("small/report.doc"))});

    QStringList options{"-b", "1M", "-d", root.filePath(QStringLiteral("set")),
                        root.filePath(QStringLiteral("small/report.doc"))};
    if (par2_)
        options = QStringList{"-r", "10"} + options;
    const ProgramRun made = RunToEnd(QStringLiteral(DARVOLT_BIN_DIR "/darvolt-split"), options);
    QVERIFY2(made.status == 0, made.err.constData());
    // The same file cut by GNU split, for the examples of other tools' sets.
    const ProgramRun gnu = RunToEnd(QStandardPaths::findExecutable(QStringLiteral("split")),
                                    {"-b", "1M", root.filePath(QStringLiteral("small/report.doc")),
                                     root.filePath(QStringLiteral("set/big.iso.part-"))});
    QVERIFY2(gnu.status == 0, gnu.err.constData());
}

void tst_DocCommands::documentedCommandWorks_data()
{
    QTest::addColumn<QString>("command");
    for (const Documented& d : allCommands())
        QTest::newRow(qPrintable(d.where + u' ' + d.command)) << d.command;
}

void tst_DocCommands::documentedCommandWorks()
{
    QFETCH(QString, command);
    if (needsPar2(command) && !par2_)
        QSKIP("par2 is not installed");
    const QDir root(scratch_.path());
    static int runs = 0;
    const QString where = root.filePath(QStringLiteral("run/%1").arg(++runs));
    const Effect effect = effectOf(command);
    QVERIFY(linkFiles(QDir(root.filePath(effect == Effect::Splits ? QStringLiteral("source") : QStringLiteral("set"))),
                      where));
    const QStringList before = QDir(where).entryList(QDir::Files);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), QStringLiteral(DARVOLT_BIN_DIR ":") + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("HOME"), where);
    env.insert(QStringLiteral("HISTFILE"), QStringLiteral("/dev/null"));
    env.remove(QStringLiteral("POSIXLY_CORRECT"));
    // Typed, not run as a script: bash expands history only in what it reads
    // interactively.
    const ProgramRun run = RunToEnd(QStringLiteral("/bin/bash"), {"--norc", "--noprofile", "-i"},
                                    command.toUtf8() + '\n', env, where);
    const QByteArray said = run.out + run.err;
    QVERIFY2(!run.err.contains("event not found"), said.constData());
    QVERIFY2(run.status == 0, said.constData());

    const QDir folder(where);
    QStringList made = folder.entryList(QDir::Files);
    for (const QString& name : before)
        made.removeAll(name);
    switch (effect) {
    case Effect::Splits: {
        // The parts are in the folder the command named, or in REPORT_PARTS.
        QStringList parts;
        for (const QString& sub : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            parts += partsIn(QDir(folder.filePath(sub)));
        QVERIFY2(parts.size() >= 2, said.constData());
        QCOMPARE(digestOf(parts), splitDigest_);
        break;
    }
    case Effect::Joins:
        QCOMPARE(made.size(), 1);
        QCOMPARE(digestOf({folder.filePath(made.first())}), joinDigest_);
        break;
    case Effect::Checks:
        QCOMPARE(made, QStringList());
        break;
    }
}

QTEST_GUILESS_MAIN(tst_DocCommands)
#include "tst_doccommands.moc"
