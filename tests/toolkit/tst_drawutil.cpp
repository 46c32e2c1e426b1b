#include "toolkit/cursors.h"
#include "toolkit/drawtext.h"
#include "toolkit/drawutil.h"
#include "toolkit/fonts.h"
#include "toolkit/shortcut.h"

#include <QFontInfo>
#include <QPainter>
#include <QPixmap>
#include <QTest>

using namespace darvolt;

namespace {

QImage canvas(int w, int h, QRgb fill = qRgb(1, 2, 3))
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

} // namespace

class TestDrawUtil : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void frameGivesTheFarCornersTheBottomColour()
    {
        QImage image = canvas(6, 5);
        QRect inner;
        {
            QPainter p(&image);
            inner = Frame3D(p, image.rect(), Qt::white, Qt::black);
        }
        QCOMPARE(inner, QRect(1, 1, 4, 3));
        QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(4, 0), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(5, 0), qRgb(0, 0, 0));  // top-right
        QCOMPARE(image.pixel(0, 4), qRgb(0, 0, 0));  // bottom-left
        QCOMPARE(image.pixel(0, 3), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(5, 4), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(2, 2), qRgb(1, 2, 3)); // inside untouched
    }

    void lineLeavesOutItsEndPixel()
    {
        QImage image = canvas(5, 5);
        {
            QPainter p(&image);
            DrawLine(p, {1, 0}, {1, 4}, Qt::black);
            DrawLine(p, {4, 3}, {0, 3}, Qt::white);
        }
        QCOMPARE(image.pixel(1, 3), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(1, 2), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(1, 4), qRgb(1, 2, 3));
        QCOMPARE(image.pixel(0, 3), qRgb(1, 2, 3));
        QCOMPARE(image.pixel(4, 3), qRgb(255, 255, 255));
    }

    void disabledImageEmbossesOnlyPureBlack()
    {
        QImage glyph = canvas(4, 4, qRgb(255, 0, 255));
        glyph.setPixel(1, 1, qRgb(0, 0, 0));
        glyph.setPixel(2, 1, qRgb(1, 0, 0)); // nearly black is not black
        glyph.setPixel(3, 3, qRgb(0, 0, 0)); // its highlight falls outside
        const QImage result = MakeDisabledImage(glyph);
        QCOMPARE(result.size(), glyph.size());
        QCOMPARE(result.pixel(1, 1), ColorToRGB(clBtnShadow).rgb());
        QCOMPARE(result.pixel(2, 2), ColorToRGB(clBtnHighlight).rgb());
        QCOMPARE(result.pixel(2, 1), ColorToRGB(clBtnFace).rgb());
        QCOMPARE(result.pixel(0, 0), ColorToRGB(clBtnFace).rgb());
        QCOMPARE(result.pixel(3, 3), ColorToRGB(clBtnShadow).rgb());
    }

    void shadowWinsWhereAHighlightMeetsABlackPixel()
    {
        QImage glyph = canvas(3, 3, qRgb(255, 255, 255));
        glyph.setPixel(0, 0, qRgb(0, 0, 0));
        glyph.setPixel(1, 1, qRgb(0, 0, 0));
        const QImage result = MakeDisabledImage(glyph);
        QCOMPARE(result.pixel(1, 1), ColorToRGB(clBtnShadow).rgb());
        QCOMPARE(result.pixel(2, 2), ColorToRGB(clBtnHighlight).rgb());
    }

    void maskedDrawLeavesTheTransparentColourOut()
    {
        QImage glyph = canvas(2, 1, qRgb(255, 0, 255));
        glyph.setPixel(1, 0, qRgb(10, 20, 30));
        QImage target = canvas(3, 1);
        {
            QPainter p(&target);
            DrawMasked(p, {1, 0}, glyph, qRgb(255, 0, 255));
        }
        QCOMPARE(target.pixel(1, 0), qRgb(1, 2, 3));
        QCOMPARE(target.pixel(2, 0), qRgb(10, 20, 30));
    }

    void accelCharIsTheLetterAfterASingleAmpersand_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("accel");
        QTest::newRow("first letter") << "&Split" << "S";
        QTest::newRow("inner letter") << "S&tandard diskette size" << "t";
        QTest::newRow("none") << "Output directory:" << "";
        QTest::newRow("literal ampersand") << "Save && &Quit" << "Q";
        QTest::newRow("only literal") << "A && B" << "";
        QTest::newRow("trailing ampersand") << "Oops&" << "";
    }
    void accelCharIsTheLetterAfterASingleAmpersand()
    {
        QFETCH(QString, caption);
        QFETCH(QString, accel);
        const QChar c = AccelChar(caption);
        QCOMPARE(c.isNull() ? QString() : QString(c), accel);
    }

    void accelMatchesEitherCase()
    {
        QVERIFY(IsAccel(u's', QStringLiteral("&Split")));
        QVERIFY(IsAccel(u'S', QStringLiteral("&split")));
        QVERIFY(!IsAccel(u'p', QStringLiteral("&Split")));
    }

    void classicDialogFaceIsSubstituted()
    {
        const QFont font = LayoutFont(QStringLiteral("MS Sans Serif"), 11);
        QCOMPARE(QFontInfo(font).family(), SubstituteFamily());
        // The layouts were drawn for 13-pixel lines at this size.
        QVERIFY2(qAbs(QFontMetrics(font).height() - 13) <= 1,
                 qPrintable(QString::number(QFontMetrics(font).height())));
    }

    void regionCopyTakesExactlyTheRegionsPixels()
    {
        const QImage source = canvas(9, 7, qRgb(200, 10, 20));
        QImage target = canvas(9, 7);
        // A frame around a hole, as the title band and borders are.
        const QRegion region = QRegion(0, 0, 9, 7) - QRegion(2, 3, 5, 3);
        {
            QPainter painter(&target);
            CopyImageRegion(painter, region, source);
            QVERIFY(!painter.hasClipping());
        }
        for (int y = 0; y < target.height(); ++y)
            for (int x = 0; x < target.width(); ++x)
                QCOMPARE(target.pixel(x, y), region.contains(QPoint(x, y)) ? source.pixel(x, y) : qRgb(1, 2, 3));
    }

    void accelDoesNotWidenTheCaption()
    {
        const QFont font = LayoutFont(QStringLiteral("MS Sans Serif"), 11);
        const int flags = CaptionFlags(Qt::AlignLeft, false, true, true);
        QCOMPARE(MeasureCaption(font, 100, QStringLiteral("&Split"), flags).width(),
                 MeasureCaption(font, 100, QStringLiteral("Split"), flags).width());
        QCOMPARE(MeasureCaption(font, 100, QString(), flags), QSize(0, 0));
    }

    void wrappedCaptionTakesSeveralLines()
    {
        const QFont font = LayoutFont(QStringLiteral("MS Sans Serif"), 11);
        const int flags = CaptionFlags(Qt::AlignHCenter, true, true, false);
        const QSize size = MeasureCaption(font, 60, QStringLiteral("one two three four five six"), flags);
        QVERIFY(size.height() >= 3 * QFontMetrics(font).height() - 3);
        QVERIFY(size.width() <= 60);
    }

    void shortcutsUseTheStoredCodes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("stored");
        QTest::newRow("alt down") << int(Qt::Key_Down) << int(Qt::AltModifier) << 0x8028;
        QTest::newRow("ctrl shift F3") << int(Qt::Key_F3) << int(Qt::ControlModifier | Qt::ShiftModifier) << 0x6072;
        QTest::newRow("plain A") << int(Qt::Key_A) << 0 << 0x41;
        QTest::newRow("no code") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << 0;
    }
    void shortcutsUseTheStoredCodes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, stored);
        QCOMPARE(ShortCutOf(key, Qt::KeyboardModifiers(modifiers)), stored);
    }

    void cursorTableFallsBackToTheArrow()
    {
        QCOMPARE(CursorById(424242).shape(), Qt::ArrowCursor);
        static const char *const art[] = {"#.", ".#"};
        RegisterCursor(424243, CursorFromArt(art, 2, {1, 1}));
        QVERIFY(HasCursor(424243));
        const QCursor cursor = CursorById(424243);
        QCOMPARE(cursor.hotSpot(), QPoint(1, 1));
        const QImage picture = cursor.pixmap().toImage();
        QCOMPARE(picture.size(), QSize(32, 32));
        QCOMPARE(picture.pixel(0, 0), qRgb(0, 0, 0));
        QCOMPARE(picture.pixel(1, 0), qRgb(255, 255, 255));
        QCOMPARE(qAlpha(picture.pixel(5, 5)), 0);
    }

    void aCursorMadeOnDemandIsMadeOnceWhenFirstLookedUp()
    {
        int made = 0;
        RegisterCursor(424244, [&made] {
            ++made;
            return QCursor(Qt::CrossCursor);
        });
        QVERIFY(HasCursor(424244));
        QCOMPARE(made, 0);
        QCOMPARE(CursorById(424244).shape(), Qt::CrossCursor);
        QCOMPARE(CursorById(424244).shape(), Qt::CrossCursor);
        QCOMPARE(made, 1);
    }
};

QTEST_MAIN(TestDrawUtil)
#include "tst_drawutil.moc"
