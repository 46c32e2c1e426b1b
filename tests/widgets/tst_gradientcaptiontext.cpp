#include "toolkit/fonts.h"
#include "toolkit/form.h"
#include "widgets/gradientcaption.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>

using namespace darvolt;

Q_DECLARE_METATYPE(TFillDirection)

namespace {

QFont plainFont()
{
    QFont font = LayoutFont(QStringLiteral("MS Sans Serif"), 11, true);
    font.setStyleStrategy(QFont::NoAntialias); // exact colours to look for
    return font;
}

int textWidth(const QString &text)
{
    return QFontMetrics(plainFont()).horizontalAdvance(text);
}

// A main-window-like form whose band leaves `space` pixels for the texts
// (icon 18 and the 2-pixel gap come first), on a black band.
struct Fixture
{
    TForm form;
    TRxGradientCaption *caption;

    explicit Fixture(int space)
    {
        form.setBorderStyle(bsSingle);
        form.setBorderIcons(biSystemMenu | biMinimize);
        form.setClientSize({space + 20 + 54, 100});
        caption = new TRxGradientCaption(&form);
        caption->setStartColor(clBlack);
        caption->setGradientSteps(1);
        caption->setFont(plainFont());
        caption->setFormCaption(QStringLiteral("CCCC"));
    }

    TRxCaption *segment(const QString &text, TColor color)
    {
        TRxCaption *s = caption->Captions()->Add();
        s->setCaption(text);
        s->setFont(plainFont());
        s->setFontColor(color);
        return s;
    }

    bool activate()
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form) && caption->WindowActive();
    }

    // Leftmost and rightmost column of the band holding the colour, or -1.
    std::pair<int, int> columns(TColor color) const
    {
        const QImage band = caption->CaptionImage();
        const QRgb wanted = ColorToRGB(color).rgb();
        int first = -1, last = -1;
        for (int x = 18; x < band.width(); ++x)
            for (int y = 0; y < band.height(); ++y)
                if (band.pixel(x, y) == wanted) {
                    if (first < 0)
                        first = x;
                    last = x;
                    break;
                }
        return {first, last};
    }
    bool shows(TColor color) const { return columns(color).first >= 0; }
};

} // namespace

class TestGradientCaptionText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InstallFontSubstitutes(); }
    void cleanup() { QCoreApplication::sendPostedEvents(); }

    void mulDivRoundsToNearest_data()
    {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("result");
        QTest::newRow("exact") << 6 << 4 << 3 << 8;
        QTest::newRow("down") << 14 << 128 << 63 << 28;
        QTest::newRow("up") << 1 << 128 << 63 << 2;
        QTest::newRow("half away from zero") << 1 << 1 << 2 << 1;
        QTest::newRow("negative half") << -1 << 1 << 2 << -1;
        QTest::newRow("negative ramp") << 5 << -255 << 63 << -20;
        QTest::newRow("no overflow") << 100000 << 100000 << 100000 << 100000;
        QTest::newRow("division by zero") << 5 << 5 << 0 << -1;
    }
    void mulDivRoundsToNearest()
    {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, c);
        QFETCH(int, result);
        QCOMPARE(MulDiv(a, b, c), result);
    }

    void gradientFillBands_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("colors");
        QTest::addColumn<TFillDirection>("direction");
        QTest::addColumn<QList<int>>("reds"); // red of each column
        QTest::newRow("two bands, remainder in end colour")
            << 5 << 2 << fdLeftToRight << QList<int>{0, 0, 255, 255, 255};
        QTest::newRow("narrower than the colours: one per column")
            << 4 << 64 << fdLeftToRight << QList<int>{0, 85, 170, 255};
        QTest::newRow("single colour is the start colour")
            << 3 << 1 << fdLeftToRight << QList<int>{0, 0, 0};
        QTest::newRow("no colours counts as one") << 3 << 0 << fdLeftToRight << QList<int>{0, 0, 0};
        QTest::newRow("reversed: remainder in start colour")
            << 5 << 2 << fdRightToLeft << QList<int>{255, 255, 0, 0, 0};
    }
    void gradientFillBands()
    {
        QFETCH(int, width);
        QFETCH(int, colors);
        QFETCH(TFillDirection, direction);
        QFETCH(QList<int>, reds);
        QImage image(width, 2, QImage::Format_RGB32);
        image.fill(Qt::blue);
        {
            QPainter painter(&image);
            GradientFill(painter, image.rect(), clBlack, clRed, direction, colors);
        }
        for (int x = 0; x < width; ++x) {
            QCOMPARE(qRed(image.pixel(x, 1)), reds[x]);
            QCOMPARE(qBlue(image.pixel(x, 1)), 0);
        }
    }

    void gradientFillTopToBottom()
    {
        QImage image(1, 4, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QPainter painter(&image);
        GradientFill(painter, image.rect(), clBlack, clWhite, fdTopToBottom, 4);
        painter.end();
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(0, 3), qRgb(255, 255, 255));
        GradientFill(painter, QRect(), clBlack, clWhite, fdTopToBottom, 4); // empty: nothing
    }

    void fitText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        const QString title = QStringLiteral("Darvolt - The File Splitter");
        QTest::newRow("fits") << title << 1000 << title;
        QTest::newRow("exactly") << title << textWidth(title) << title;
        QTest::newRow("one short") << title << textWidth(title) - 1
                                   << title.left(title.size() - 2) + QStringLiteral("...");
        QTest::newRow("nothing fits") << title << 0 << QStringLiteral("...");
        QTest::newRow("negative width") << title << -5 << QStringLiteral("...");
        QTest::newRow("empty") << QString() << 0 << QString();
        QTest::newRow("empty, no room") << QString() << -3 << QString();
        QTest::newRow("single letter") << QStringLiteral("W") << 1 << QStringLiteral("...");
    }
    void fitText()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QCOMPARE(FitText(plainFont(), text, width), expected);
    }

    void fitTextMatchesTryingOneLetterLessEachTime()
    {
        // The rule as the band has always applied it, one attempt after
        // another; the quick search must give the same text.
        auto stepwise = [](const QString &text, int width) {
            QString result = text;
            for (qsizetype k = 1; textWidth(result) > width && k <= text.size(); ++k)
                result = text.left(std::max<qsizetype>(0, text.size() - 1 - k)) + QStringLiteral("...");
            return result;
        };
        const QString title = QStringLiteral("Darvolt - The File Splitter (iiiWWW...)");
        for (int width = -1; width <= textWidth(title) + 1; ++width)
            QCOMPARE(FitText(plainFont(), title, width), stepwise(title, width));
        const QString longTitle = QString(3000, QLatin1Char('W'));
        QCOMPARE(FitText(plainFont(), longTitle, 300), stepwise(longTitle, 300));
    }

    void fitTextKeepsAsMuchAsFits()
    {
        const QString title = QStringLiteral("Darvolt - The File Splitter");
        for (int width = 0; width < textWidth(title); width += 7) {
            const QString shown = FitText(plainFont(), title, width);
            QVERIFY(shown.endsWith(QStringLiteral("...")));
            if (shown != QStringLiteral("...")) {
                QVERIFY(textWidth(shown) <= width);
                const QString longer = title.left(shown.size() - 2) + QStringLiteral("...");
                QVERIFY(textWidth(longer) > width);
            }
        }
    }

    void segmentsThenFormCaptionInOrder_data()
    {
        QTest::addColumn<int>("direction");
        QTest::newRow("left to right") << int(hdLeftToRight);
        QTest::newRow("right to left") << int(hdRightToLeft);
    }
    void segmentsThenFormCaptionInOrder()
    {
        QFETCH(int, direction);
        Fixture f(300);
        f.caption->setHideDirection(THideDirection(direction));
        f.segment(QStringLiteral("AAAA"), clRed);
        f.segment(QStringLiteral("BBBB"), clLime);
        QVERIFY(f.activate());
        const auto red = f.columns(clRed), lime = f.columns(clLime), white = f.columns(clWhite);
        QVERIFY(red.first >= 20);
        QVERIFY(red.second < lime.first);
        QVERIFY(lime.second < white.first);
    }

    void leftSegmentsGiveWayFirst()
    {
        const int need = 2 + textWidth(QStringLiteral("AAAA")) + textWidth(QStringLiteral("BBBB"))
                         + textWidth(QStringLiteral("CCCC"));
        Fixture f(need - textWidth(QStringLiteral("AAAA")));
        f.segment(QStringLiteral("AAAA"), clRed);
        f.segment(QStringLiteral("BBBB"), clLime);
        QVERIFY(f.activate());
        QVERIFY(!f.shows(clRed));
        QVERIFY(f.shows(clLime));
        QVERIFY(f.shows(clWhite));
        QCOMPARE(f.columns(clLime).first, 20);
    }

    void gluedSegmentsGoTogether()
    {
        const int need = 2 + textWidth(QStringLiteral("AAAA")) + textWidth(QStringLiteral("BBBB"))
                         + textWidth(QStringLiteral("CCCC"));
        Fixture f(need - textWidth(QStringLiteral("AAAA")));
        f.segment(QStringLiteral("AAAA"), clRed)->setGlueNext(true);
        f.segment(QStringLiteral("BBBB"), clLime);
        QVERIFY(f.activate());
        QVERIFY(!f.shows(clRed));
        QVERIFY(!f.shows(clLime));
        QVERIFY(f.shows(clWhite));
    }

    void hiddenSegmentTakesNoRoomAndIsNotDrawn()
    {
        const int visibleNeed = 2 + textWidth(QStringLiteral("BBBB")) + textWidth(QStringLiteral("CCCC"));
        Fixture f(visibleNeed - 1);
        f.segment(QStringLiteral("A very long hidden segment"), clRed)->setVisible(false);
        f.segment(QStringLiteral("BBBB"), clLime);
        QVERIFY(f.activate());
        QVERIFY(!f.shows(clRed));
        // The hidden one's width does not make room: the visible one goes.
        QVERIFY(!f.shows(clLime));
        QVERIFY(f.shows(clWhite));
    }

    void rightToLeftDropsTheFormCaptionFirst()
    {
        Fixture f(2 + textWidth(QStringLiteral("AAAA")) + textWidth(QStringLiteral("BBBB")) + 1);
        f.caption->setHideDirection(hdRightToLeft);
        f.segment(QStringLiteral("AAAA"), clRed);
        f.segment(QStringLiteral("BBBB"), clLime);
        QVERIFY(f.activate());
        QVERIFY(f.shows(clRed));
        QVERIFY(f.shows(clLime));
        QVERIFY(!f.shows(clWhite));
    }

    void loneEllipsisTakesTheColourOfTheSegmentBefore()
    {
        const int wA = textWidth(QStringLiteral("AAAA"));
        Fixture f(wA + textWidth(QStringLiteral("...")) + 2);
        f.caption->setHideDirection(hdRightToLeft);
        f.segment(QStringLiteral("AAAA"), clRed)->setGlueNext(true);
        f.segment(QStringLiteral("BBBBBBBB"), clLime);
        QVERIFY(f.activate());
        QVERIFY(!f.shows(clLime));
        QVERIFY(f.columns(clRed).second > 20 + wA); // the dots, in red
    }

    void inactiveSegmentsUseTheirInactiveColour()
    {
        Fixture f(300);
        TRxCaption *s = f.segment(QStringLiteral("AAAA"), clRed);
        s->setInactiveColor(clYellow);
        f.caption->setFontInactiveColor(clAqua);
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        QWidget other; // takes the activation away from the form
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_VERIFY(!f.caption->WindowActive());
        QVERIFY(f.shows(clYellow));
        QVERIFY(f.shows(clAqua));
        QVERIFY(!f.shows(clRed));
    }

    void parentFontFollowsTheCaption()
    {
        TRxGradientCaption caption;
        TRxCaption *s = caption.Captions()->Add();
        QVERIFY(s->ParentFont());
        QFont big = caption.Font();
        big.setPixelSize(30);
        caption.setFont(big);
        QCOMPARE(s->Font(), big);
        s->setFontColor(clRed);
        QVERIFY(!s->ParentFont());
        QFont small = big;
        small.setPixelSize(8);
        caption.setFont(small);
        QCOMPARE(s->Font(), big);
        s->setParentFont(true);
        QCOMPARE(s->Font(), small);
        QCOMPARE(s->FontColor(), caption.FontColor());
    }

    void assignCopiesEverythingAsOneChange()
    {
        Fixture f(300);
        TRxCaption *source = f.segment(QStringLiteral("Source"), clRed);
        source->setInactiveColor(clYellow);
        source->setGlueNext(true);
        source->setVisible(false);
        TRxCaption *target = f.caption->Captions()->Add();
        target->setInactiveColor(clGreen);
        target->Assign(*source);
        QCOMPARE(target->Caption(), QStringLiteral("Source"));
        QVERIFY(!target->ParentFont());
        QCOMPARE(target->FontColor(), clRed);
        QCOMPARE(target->InactiveColor(), clYellow);
        QVERIFY(target->GlueNext());
        QVERIFY(!target->Visible());

        TRxCaption plain;
        target->Assign(plain);
        QCOMPARE(target->InactiveColor(), clInactiveCaptionText);
        QVERIFY(target->Visible());
        QVERIFY(target->ParentFont());
        QCOMPARE(target->FontColor(), f.caption->FontColor());
    }
};

QTEST_MAIN(TestGradientCaptionText)
#include "tst_gradientcaptiontext.moc"
