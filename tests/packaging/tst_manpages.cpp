// Each program's manual page names exactly the options its --help names, and
// groff reads the page without a complaint.

#include "support/programrun.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

// Options as a reader sees them ("--custom", "-platform"), never the dash
// inside a word such as "darvolt-split" or "Ctrl-C".
QStringList optionsIn(const QString &text)
{
    static const QRegularExpression option(QStringLiteral(R"((?<![\w-])--?[A-Za-z][\w-]*)"));
    QStringList found;
    for (auto match = option.globalMatch(text); match.hasNext();)
        found << match.next().captured();
    found.removeDuplicates();
    found.sort();
    return found;
}

// The words of a page as they print: "\-\-span" reads "--span". Examples are
// left out, as they may show other programs' options.
QString printedWords(const QByteArray &roff)
{
    QString text = QString::fromUtf8(roff);
    text.remove(QRegularExpression(QStringLiteral(R"(^\.EX$.*?^\.EE$)"),
                                   QRegularExpression::MultilineOption | QRegularExpression::DotMatchesEverythingOption));
    text.remove(QRegularExpression(QStringLiteral(R"(^\.\S*)"), QRegularExpression::MultilineOption));
    text.remove(QRegularExpression(QStringLiteral(R"(\\f[BIRP])")));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    return text;
}

struct Run {
    int status = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    const ProgramRun ran = RunToEnd(program, args, {}, env);
    return {ran.status, QString::fromUtf8(ran.out), QString::fromUtf8(ran.err)};
}

} // namespace

class TestManPages : public QObject
{
    Q_OBJECT

private slots:
    void pageNamesTheOptionsOfHelp_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("path");
        // Every program the build makes, and only those, has its page.
        for (const QString &entry : QStringLiteral(DARVOLT_PROGRAMS).split(u',')) {
            const QString name = entry.section(u'=', 0, 0);
            QTest::newRow(qPrintable(name)) << name << entry.section(u'=', 1);
        }
    }

    void pageNamesTheOptionsOfHelp()
    {
        QFETCH(QString, program);
        QFETCH(QString, path);
        QFile page(QStringLiteral(DARVOLT_MAN_DIR "/%1.1.in").arg(program));
        QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(page.fileName()));
        const QString words = printedWords(page.readAll());
        QVERIFY(words.contains(program + QStringLiteral(" - ")));

        // No display is needed to ask a program how it is used.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        const Run help = run(path, {QStringLiteral("--help")}, env);
        QCOMPARE(help.status, 0);
        QVERIFY2(help.out.startsWith(QStringLiteral("Usage: %1 ").arg(program)), qPrintable(help.out));
        QCOMPARE(help.err, QString());
        QVERIFY(optionsIn(help.out).contains(QStringLiteral("--help")));
        QCOMPARE(optionsIn(words).join(u' '), optionsIn(help.out).join(u' '));
    }

    void groffReadsEveryPageWithoutWarnings_data()
    {
        QTest::addColumn<QString>("page");
        for (const char *name : {"darvolt", "darvolt-split", "darvolt-join"})
            QTest::newRow(name) << QStringLiteral(DARVOLT_MAN_DIR "/%1.1.in").arg(QString::fromLatin1(name));
    }

    void groffReadsEveryPageWithoutWarnings()
    {
        QFETCH(QString, page);
        const QString man = QStandardPaths::findExecutable(QStringLiteral("man"));
        if (man.isEmpty()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("man is not installed");
            QSKIP("man is not installed");
        }
        // As the package checker reads a page.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        const Run read = run(man, {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                                   QStringLiteral("-l"), QStringLiteral("-Tutf8"), QStringLiteral("-Z"), page},
                             env);
        QCOMPARE(read.status, 0);
        QCOMPARE(read.err, QString());
        QVERIFY(!read.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "tst_manpages.moc"
