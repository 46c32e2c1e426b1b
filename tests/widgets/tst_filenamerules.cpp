#include "widgets/editglyphs.h"
#include "widgets/filenamedialog.h"
#include "widgets/filenamerules.h"

#include <QTemporaryDir>
#include <QTest>

using namespace darvolt;

class TestFilenameRules : public QObject
{
    Q_OBJECT

private slots:
    void cleanFileNameReadsTheFirstToken_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clean");
        QTest::newRow("plain") << "/tmp/a.txt" << "/tmp/a.txt";
        QTest::newRow("quoted with blank") << "\"/tmp/my file.txt\"" << "/tmp/my file.txt";
        QTest::newRow("leading blanks") << "   /tmp/a.txt" << "/tmp/a.txt";
        QTest::newRow("two names") << "/tmp/a.txt /tmp/b.txt" << "/tmp/a.txt";
        QTest::newRow("unquoted blank cuts") << "/tmp/my file.txt" << "/tmp/my";
        QTest::newRow("leading empty quotes") << "\"\"/tmp/a.txt" << "/tmp/a.txt";
        QTest::newRow("quotes inside") << "/tmp/\"my file\".txt" << "/tmp/my file.txt";
        QTest::newRow("tab ends") << "/tmp/a\tb" << "/tmp/a";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("only blanks") << "   " << "";
        QTest::newRow("long path stays whole") << QString(u'/' + QString(400, u'x')) << QString(u'/' + QString(400, u'x'));
    }
    void cleanFileNameReadsTheFirstToken()
    {
        QFETCH(QString, text);
        QFETCH(QString, clean);
        QCOMPARE(CleanFileName(text), clean);
    }

    void existingFileWithBlanksIsKeptAsItIs()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("my file.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(CleanFileName(path), path);
    }

    void validFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "/tmp/a.txt" << true;
        QTest::newRow("blank") << "/tmp/a b.txt" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("less") << "a<b" << false;
        QTest::newRow("greater") << "a>b" << false;
        QTest::newRow("quote") << "a\"b" << false;
        QTest::newRow("open bracket") << "a[1]" << false;
        QTest::newRow("close bracket") << "a]" << false;
        QTest::newRow("bar") << "a|b" << false;
        QTest::newRow("colon is fine") << "a:b" << true;
    }
    void validFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(IsValidFileName(name), valid);
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("no blank") << "/tmp/a.txt" << "/tmp/a.txt";
        QTest::newRow("blank") << "/tmp/a b.txt" << "\"/tmp/a b.txt\"";
        QTest::newRow("already quoted") << "\"/tmp/a b.txt\"" << "\"/tmp/a b.txt\"";
        QTest::newRow("empty") << "" << "";
    }
    void quoting()
    {
        QFETCH(QString, name);
        QFETCH(QString, quoted);
        QCOMPARE(QuoteFileName(name), quoted);
    }

    void pathParts()
    {
        QCOMPARE(ExtractFilePath(QStringLiteral("/tmp/dir/a.txt")), QStringLiteral("/tmp/dir/"));
        QCOMPARE(ExtractFileName(QStringLiteral("/tmp/dir/a.txt")), QStringLiteral("a.txt"));
        QCOMPARE(ExtractFilePath(QStringLiteral("a.txt")), QString());
        QCOMPARE(ExtractFileName(QStringLiteral("/tmp/dir/")), QString());
    }

    void filtersBecomeQtNameFilters()
    {
        QCOMPARE(QtNameFilters(QStringLiteral("All files (*.*)|*.*")), QStringList{QStringLiteral("All files (*)")});
        QCOMPARE(QtNameFilters(QStringLiteral("Text|*.txt;*.log|Any|*")),
                 (QStringList{QStringLiteral("Text (*.txt *.log)"), QStringLiteral("Any (*)")}));
        QVERIFY(QtNameFilters(QString()).isEmpty());
    }

    void defaultGlyphIsFourteenByTwelveOnMagenta()
    {
        const QImage &glyph = DefaultEditGlyph();
        QCOMPARE(glyph.size(), QSize(14, 12));
        QCOMPARE(glyph.pixel(0, 11), qRgb(255, 0, 255));
        QCOMPARE(&DefaultEditGlyph(), &glyph); // shared
    }

    void ellipsisDots_data()
    {
        QTest::addColumn<int>("buttonWidth");
        QTest::addColumn<QList<int>>("dots");
        QTest::newRow("21 wide") << 21 << QList<int>{1, 6, 11};   // w 15, gap 3
        QTest::newRow("16 wide") << 16 << QList<int>{0, 4, 8};    // w 10, gap 2
        QTest::newRow("narrow") << 8 << QList<int>{-3, 0, 3};     // w 2, gap 1
    }
    void ellipsisDots()
    {
        QFETCH(int, buttonWidth);
        QFETCH(QList<int>, dots);
        const QImage glyph = EllipsisGlyph(buttonWidth);
        QCOMPARE(glyph.size(), QSize(std::max(1, buttonWidth - 6), 4));
        for (int x = 0; x < glyph.width(); ++x) {
            bool inDot = false;
            for (int d : dots)
                inDot |= x >= d && x < d + 2;
            QCOMPARE(glyph.pixel(x, 1) == qRgb(0, 0, 0), inDot);
            QCOMPARE(glyph.pixel(x, 0), qRgb(255, 255, 255));
        }
    }
};

QTEST_MAIN(TestFilenameRules)
#include "tst_filenamerules.moc"
