#include "toolkit/fonts.h"
#include "widgets/flatspeedbutton.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

using namespace darvolt;

namespace {

using B = TFlatSpeedButton;

// A glyph of `count` 16 x 16 sub-images; sub-image i is filled with
// colour (i + 1) * 40 in red, its bottom-left pixel magenta.
QImage stripGlyph(int count, int width = 16)
{
    QImage glyph(width * count, 16, QImage::Format_RGB32);
    glyph.fill(qRgb(255, 0, 255));
    for (int i = 0; i < count; ++i)
        for (int y = 2; y < 14; ++y)
            for (int x = 2; x < width - 2; ++x)
                glyph.setPixel(i * width + x, y, qRgb((i + 1) * 40, 0, 0));
    return glyph;
}

QFont mainWindowFont()
{
    return LayoutFont(QStringLiteral("MS Sans Serif"), 11);
}

} // namespace

class TestFlatSpeedButtonFace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void faceTableGivesFrameAndFill_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("hot");
        QTest::addColumn<TColor>("top");
        QTest::addColumn<TColor>("bottom");
        QTest::addColumn<TColor>("fill");
        const TColor border = 0x8396A0, focused = 0xE1EAEB, down = 0xC5D6D9, color = 0x123456;
        QTest::newRow("up") << int(B::Up) << false << border << border << color;
        QTest::newRow("up hot") << int(B::Up) << true << clWhite << clBlack << focused;
        QTest::newRow("disabled") << int(B::Disabled) << true << border << border << color;
        QTest::newRow("pressed") << int(B::Pressed) << false << clBlack << clWhite << down;
        QTest::newRow("pressed hot") << int(B::Pressed) << true << clBlack << clWhite << down;
        QTest::newRow("latched") << int(B::Latched) << false << clBlack << clWhite << down;
        QTest::newRow("latched hot") << int(B::Latched) << true << clBlack << clWhite << focused;
    }
    void faceTableGivesFrameAndFill()
    {
        QFETCH(int, state);
        QFETCH(bool, hot);
        QFETCH(TColor, top);
        QFETCH(TColor, bottom);
        QFETCH(TColor, fill);
        B button;
        button.setColor(0x123456);
        const B::TFaceColors colors = B::FaceColors(B::TFaceState(state), hot, button);
        QCOMPARE(colors.top, top);
        QCOMPARE(colors.bottom, bottom);
        QCOMPARE(colors.fill, fill);
    }

    void renderedFaceDrawsTheFrameRing()
    {
        // Hot: the pointer came onto the button in the active window.
        QWidget window;
        window.resize(40, 40);
        B button(&window);
        button.resize(10, 8);
        button.setColor(clWhite);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QPoint centre = button.rect().center();
        QCursor::setPos(button.mapToGlobal(centre));
        QMouseEvent move(QEvent::MouseMove, QPointF(centre), QPointF(button.mapToGlobal(centre)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &move);
        QVERIFY(button.Hot());
        const QImage face = button.RenderFace();
        QCOMPARE(face.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(face.pixel(9, 0), qRgb(0, 0, 0));  // top-right takes the bottom colour
        QCOMPARE(face.pixel(0, 7), qRgb(0, 0, 0));  // so does bottom-left
        QCOMPARE(face.pixel(9, 7), qRgb(0, 0, 0));
        QCOMPARE(face.pixel(4, 4), ColorToRGB(0xE1EAEB).rgb());
    }

    void mainWindowButtonPlacesGlyphAndCaption()
    {
        // 64 x 40, glyph on top, margin -1, spacing 4, a 16 x 16 glyph and a
        // caption 13 pixels high; the substitute font's lines are 12 or 13
        // pixels high, and both land the same way.
        const QFont f = mainWindowFont();
        QVERIFY(QFontMetrics(f).height() == 12 || QFontMetrics(f).height() == 13);
        {
            const auto up = B::LayoutGlyphAndText(f, QRect(0, 0, 64, 40), {0, 0}, QStringLiteral("&Split"),
                                                  B::blGlyphTop, -1, 4, QSize(16, 16), 1);
            QCOMPARE(up.GlyphOrigin, QPoint(24, 4));
            QCOMPARE(up.TextRect.top(), 24);
            const auto pressed = B::LayoutGlyphAndText(f, QRect(0, 0, 64, 40), {1, 1}, QStringLiteral("&Split"),
                                                       B::blGlyphTop, -1, 4, QSize(16, 16), 1);
            QCOMPARE(pressed.GlyphOrigin, QPoint(25, 5));
            QCOMPARE(pressed.TextRect, up.TextRect.translated(1, 1));
        }
    }

    void pressedFaceMovesGlyphAndCaption()
    {
        QWidget parent;
        parent.setFont(mainWindowFont());
        B button(&parent);
        button.resize(64, 40);
        button.setCaption(QStringLiteral("&Split"));
        button.setGlyphImage(stripGlyph(1));
        button.RenderFace();
        const QPoint glyph = button.GlyphOrigin();
        const QRect text = button.TextRect();
        QCOMPARE(glyph, QPoint(24, 4));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &press);
        const QImage face = button.RenderFace();
        QCOMPARE(button.GlyphOrigin(), glyph + QPoint(1, 1));
        QCOMPARE(button.TextRect(), text.translated(1, 1));
        QCOMPARE(face.pixel(glyph + QPoint(3, 3)), qRgb(40, 0, 0));
        QCOMPARE(face.pixel(0, 0), qRgb(0, 0, 0)); // sunken: shadow on top
    }

    void layoutWithEvenSpreadForEveryDirection_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QPoint>("glyph");
        QTest::addColumn<QPoint>("text"); // computed from text size tw x th below
        const QFont font = mainWindowFont();
        const QSize ts = QFontMetrics(font).size(Qt::TextSingleLine | Qt::TextShowMnemonic, QStringLiteral("Go"));
        const int tw = ts.width(), th = ts.height();
        // Client 100 x 60, glyph 16 x 16, margin and spacing -1.
        const int mx = (100 - (16 + tw)) / 3;
        const int my = (60 - (16 + th)) / 3;
        QTest::newRow("left") << int(B::blGlyphLeft) << QPoint(mx, 22) << QPoint(mx + 16 + mx, (60 - th + 1) / 2);
        QTest::newRow("right") << int(B::blGlyphRight) << QPoint(100 - mx - 16, 22)
                               << QPoint(100 - mx - 16 - mx - tw, (60 - th + 1) / 2);
        QTest::newRow("top") << int(B::blGlyphTop) << QPoint(42, my) << QPoint((100 - tw + 1) / 2, my + 16 + my);
        QTest::newRow("bottom") << int(B::blGlyphBottom) << QPoint(42, 60 - my - 16)
                                << QPoint((100 - tw + 1) / 2, 60 - my - 16 - my - th);
    }
    void layoutWithEvenSpreadForEveryDirection()
    {
        QFETCH(int, layout);
        QFETCH(QPoint, glyph);
        QFETCH(QPoint, text);
        const auto placed = B::LayoutGlyphAndText(mainWindowFont(), QRect(10, 20, 100, 60), {0, 0},
                                                  QStringLiteral("Go"), B::TButtonLayout(layout), -1, -1,
                                                  QSize(16, 16), 1);
        QCOMPARE(placed.GlyphOrigin, glyph + QPoint(10, 20));
        QCOMPARE(placed.TextRect.topLeft(), text + QPoint(10, 20));
    }

    void emptyCaptionCentresTheGlyphWithoutSpacing()
    {
        const auto placed = B::LayoutGlyphAndText(mainWindowFont(), QRect(0, 0, 64, 40), {0, 0}, QString(),
                                                  B::blGlyphTop, -1, 4, QSize(16, 16), 1);
        QCOMPARE(placed.GlyphOrigin, QPoint(24, 12));
        QCOMPARE(placed.TextRect.size(), QSize(0, 0));
    }

    void emptyGlyphCentresTheCaption()
    {
        const QFont font = mainWindowFont();
        const auto placed = B::LayoutGlyphAndText(font, QRect(0, 0, 64, 40), {0, 0}, QStringLiteral("Exit"),
                                                  B::blGlyphLeft, -1, 4, QSize(), 1);
        const QSize ts = QFontMetrics(font).size(Qt::TextSingleLine, QStringLiteral("Exit"));
        QCOMPARE(placed.TextRect.left(), (64 - ts.width() + 1) / 2);
        QCOMPARE(placed.TextRect.top(), (40 - ts.height() + 1) / 2);
    }

    void glyphSubImageByCountAndState_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("index"); // -1: the whole glyph
        const int up = B::Up, off = B::Disabled, pressed = B::Pressed, latched = B::Latched;
        QTest::newRow("1 up") << 1 << up << -1;
        QTest::newRow("1 pressed") << 1 << pressed << -1;
        QTest::newRow("2 up") << 2 << up << 0;
        QTest::newRow("2 disabled") << 2 << off << 1;
        QTest::newRow("2 pressed") << 2 << pressed << 0;
        QTest::newRow("2 latched") << 2 << latched << 0;
        QTest::newRow("3 disabled") << 3 << off << 1;
        QTest::newRow("3 pressed") << 3 << pressed << 2;
        QTest::newRow("3 latched") << 3 << latched << 2;
        QTest::newRow("4 pressed") << 4 << pressed << 2;
        QTest::newRow("4 latched") << 4 << latched << 3;
    }
    void glyphSubImageByCountAndState()
    {
        QFETCH(int, count);
        QFETCH(int, state);
        QFETCH(int, index);
        const QRect r = B::GlyphSourceRect(QSize(16 * count, 16), count, B::TFaceState(state));
        if (index < 0)
            QCOMPARE(r, QRect(0, 0, 16 * count, 16));
        else
            QCOMPARE(r, QRect(16 * index, 0, 16, 16));
    }

    void lastSubImageTakesTheLeftoverColumns()
    {
        QCOMPARE(B::GlyphSourceRect(QSize(50, 16), 3, B::Pressed), QRect(32, 0, 18, 16));
        QCOMPARE(B::GlyphSourceRect(QSize(50, 16), 3, B::Disabled), QRect(16, 0, 16, 16));
    }

    void drawnGlyphComesFromTheStateSubImage()
    {
        QWidget parent;
        B button(&parent);
        button.resize(64, 40);
        button.setGlyphImage(stripGlyph(2));
        QCOMPARE(button.NumGlyphs(), 2);
        QImage face = button.RenderFace();
        const QPoint at = button.GlyphOrigin();
        QCOMPARE(face.pixel(at + QPoint(8, 8)), qRgb(40, 0, 0));
        QCOMPARE(face.pixel(at), ColorToRGB(button.Color()).rgb()); // magenta left out
        button.setEnabled(false);
        face = button.RenderFace();
        QCOMPARE(button.FaceState(), B::Disabled);
        QCOMPARE(face.pixel(button.GlyphOrigin() + QPoint(8, 8)), qRgb(80, 0, 0));
    }

    void singleGlyphDisabledIsEmbossed()
    {
        QImage glyph(16, 16, QImage::Format_RGB32);
        glyph.fill(qRgb(255, 0, 255));
        glyph.setPixel(5, 5, qRgb(0, 0, 0));
        glyph.setPixel(9, 9, qRgb(0, 0, 255)); // not pure black: gone
        B button;
        button.resize(64, 40);
        button.setColor(clWhite);
        button.setGlyphImage(glyph);
        button.setEnabled(false);
        const QImage face = button.RenderFace();
        const QPoint at = button.GlyphOrigin();
        QCOMPARE(face.pixel(at + QPoint(5, 5)), ColorToRGB(clBtnShadow).rgb());
        QCOMPARE(face.pixel(at + QPoint(6, 6)), ColorToRGB(clBtnHighlight).rgb());
        QCOMPARE(face.pixel(at + QPoint(9, 9)), qRgb(255, 255, 255));
        QCOMPARE(face.pixel(at + QPoint(2, 2)), qRgb(255, 255, 255));
    }

    void glyphCountFollowsThePicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("expected");
        QTest::newRow("32 x 16") << QSize(32, 16) << 2;
        QTest::newRow("80 x 16, five is too many") << QSize(80, 16) << 1;
        QTest::newRow("48 x 20, not a multiple") << QSize(48, 20) << 3;
        QTest::newRow("64 x 16") << QSize(64, 16) << 4;
    }
    void glyphCountFollowsThePicture()
    {
        QFETCH(QSize, size);
        QFETCH(int, expected);
        B button;
        button.setNumGlyphs(3);
        QImage glyph(size, QImage::Format_RGB32);
        glyph.fill(Qt::white);
        button.setGlyphImage(glyph);
        QCOMPARE(button.NumGlyphs(), expected);
    }

    void marginBelowMinusOneIsIgnored()
    {
        B button;
        button.setMargin(3);
        button.setMargin(-5);
        QCOMPARE(button.Margin(), 3);
        button.setMargin(-1);
        QCOMPARE(button.Margin(), -1);
    }

    void defaultsAreThoseOfTheLayouts()
    {
        B button;
        QCOMPARE(button.size(), QSize(25, 25));
        QCOMPARE(button.ColorFocused(), TColor(14805739));
        QCOMPARE(button.ColorDown(), TColor(12965593));
        QCOMPARE(button.ColorBorder(), TColor(8623776));
        QCOMPARE(button.ColorHighLight(), clWhite);
        QCOMPARE(button.ColorShadow(), clBlack);
        QCOMPARE(button.Layout(), B::blGlyphTop);
        QCOMPARE(button.Margin(), -1);
        QCOMPARE(button.Spacing(), 4);
        QCOMPARE(button.NumGlyphs(), 1);
        QVERIFY(button.ParentColor());
        QCOMPARE(button.property("AdvColorBorder").toInt(), 50);
    }

    void advancedColorMovesLightness()
    {
        // Grey 192: lightness 181 on the 0..240 scale, plus 10.
        QCOMPARE(AdvancedColor(clBtnFace, 0x123456, 0, false), TColor(0x123456));
        QCOMPARE(AdvancedColor(clBtnFace, 0, 50, false), RGBColor(150, 150, 150));
        QCOMPARE(AdvancedColor(clBtnFace, 0, 10, true), RGBColor(214, 214, 214));
        QCOMPARE(AdvancedColor(clBlack, 0, 100, false), RGBColor(0, 0, 0));
        QCOMPARE(AdvancedColor(clWhite, 0, 100, true), RGBColor(255, 255, 255));
    }

    void lighteningNeverDarkens()
    {
        for (int grey = 0; grey <= 255; grey += 15) {
            const TColor base = RGBColor(grey, grey, grey);
            const QColor lighter = ColorToRGB(AdvancedColor(base, 0, 10, true));
            QVERIFY2(lighter.lightness() >= grey, qPrintable(QString::number(grey)));
        }
    }

    void useAdvColorsDerivesFromTheParent()
    {
        QWidget parent;
        QPalette p = parent.palette();
        p.setColor(QPalette::Window, QColor(192, 192, 192));
        parent.setPalette(p);
        B button(&parent);
        button.setParentColor(false);
        button.setUseAdvColors(true);
        QVERIFY(button.ParentColor());
        QCOMPARE(button.ColorBorder(), RGBColor(150, 150, 150));
        QCOMPARE(button.ColorDown(), AdvancedColor(RGBColor(192, 192, 192), 0, 10, false));
        button.setAdvColorBorder(0);
        QCOMPARE(button.ColorBorder(), RGBColor(150, 150, 150)); // 0 keeps the previous colour
    }
};

QTEST_MAIN(TestFlatSpeedButtonFace)
#include "tst_flatspeedbuttonface.moc"
