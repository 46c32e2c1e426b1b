#include "toolkit/fonts.h"
#include "widgets/propanel.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace darvolt;

namespace {

using P = TProCustomPanel;

QRgb rgb(TColor c) { return ColorToRGB(c).rgb(); }

} // namespace

class TestProCustomPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void drawSidesCornerRule()
    {
        QImage image(6, 5, QImage::Format_RGB32);
        image.fill(qRgb(9, 9, 9));
        QRect r = image.rect();
        {
            QPainter p(&image);
            DrawSides(p, r, P::AllSides, Qt::white, Qt::black, 2);
        }
        QCOMPARE(r, QRect(2, 2, 2, 1));
        QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(5, 0), qRgb(0, 0, 0)); // top-right: second colour
        QCOMPARE(image.pixel(0, 4), qRgb(0, 0, 0)); // bottom-left: second colour
        QCOMPARE(image.pixel(1, 1), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(4, 1), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(2, 2), qRgb(9, 9, 9));
    }

    void drawSidesSkipsSidesNotChosen()
    {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(qRgb(9, 9, 9));
        QRect r = image.rect();
        {
            QPainter p(&image);
            DrawSides(p, r, P::sdLeft | P::sdRight, Qt::white, Qt::black, 1);
        }
        QCOMPARE(r, QRect(1, 0, 2, 4));
        QCOMPARE(image.pixel(0, 3), qRgb(255, 255, 255)); // no bottom side to take the corner
        QCOMPARE(image.pixel(1, 0), qRgb(9, 9, 9));
        QCOMPARE(image.pixel(3, 0), qRgb(0, 0, 0));
    }

    void drawSidesWithZeroRingsDrawsNothing()
    {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(qRgb(9, 9, 9));
        QRect r = image.rect();
        QPainter p(&image);
        DrawSides(p, r, P::AllSides, Qt::white, Qt::black, 0);
        p.end();
        QCOMPARE(r, image.rect());
        QCOMPARE(image.pixel(0, 0), qRgb(9, 9, 9));
    }

    void bevelColourTable_data()
    {
        QTest::addColumn<int>("cut");
        QTest::addColumn<bool>("ctl3D");
        QTest::addColumn<bool>("inner");
        QTest::addColumn<TColor>("first");
        QTest::addColumn<TColor>("second");
        QTest::newRow("lowered") << int(P::bvLowered) << false << false << clBtnShadow << clBtnHighlight;
        QTest::newRow("raised") << int(P::bvRaised) << false << false << clBtnHighlight << clBtnShadow;
        QTest::newRow("lowered 3-D outer") << int(P::bvLowered) << true << false << clBtnShadow << clBtnHighlight;
        QTest::newRow("lowered 3-D inner") << int(P::bvLowered) << true << true << clBtnText << cl3DLight;
        QTest::newRow("raised 3-D outer") << int(P::bvRaised) << true << false << clBtnHighlight << clBtnText;
        QTest::newRow("raised 3-D inner") << int(P::bvRaised) << true << true << cl3DLight << clBtnShadow;
    }
    void bevelColourTable()
    {
        QFETCH(int, cut);
        QFETCH(bool, ctl3D);
        QFETCH(bool, inner);
        QFETCH(TColor, first);
        QFETCH(TColor, second);
        const TBevelColors colors = BevelColors(P::TBevelCut(cut), ctl3D, inner);
        QCOMPARE(colors.first, first);
        QCOMPARE(colors.second, second);
    }

    void sizeModePanelShowsRaisedThenLoweredEdge()
    {
        // The main window's size-mode panel: the border colour never shows
        // while the border width is 0.
        TProPanel panel;
        panel.resize(313, 109);
        panel.setBevelInner(P::bvLowered);
        panel.setBorderColor(11643148);
        const QImage face = panel.RenderFace();
        QCOMPARE(face.pixel(0, 0), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(312, 0), rgb(clBtnShadow));
        QCOMPARE(face.pixel(0, 108), rgb(clBtnShadow));
        QCOMPARE(face.pixel(312, 108), rgb(clBtnShadow));
        QCOMPARE(face.pixel(1, 1), rgb(clBtnShadow));
        QCOMPARE(face.pixel(311, 1), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(1, 107), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(311, 107), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(2, 2), rgb(clBtnFace));
        for (int x = 0; x < face.width(); ++x)
            QVERIFY(face.pixel(x, 50) != qRgb(12, 169, 177));
        QCOMPARE(panel.contentsRect(), QRect(2, 2, 309, 105));
    }

    void borderRingUsesItsOwnColour()
    {
        TProPanel panel;
        panel.resize(20, 20);
        panel.setBorderWidth(2);
        panel.setBorderColor(0xB1A90C);
        const QImage face = panel.RenderFace();
        QCOMPARE(face.pixel(1, 5), qRgb(12, 169, 177));
        QCOMPARE(face.pixel(2, 5), qRgb(12, 169, 177));
        QCOMPARE(face.pixel(3, 5), rgb(clBtnFace));
    }

    void sideWithoutTopLetsTheFillReachTheTop()
    {
        TProPanel panel;
        panel.resize(20, 20);
        panel.setBevelSides(P::sdLeft | P::sdRight | P::sdBottom);
        panel.setBorderWidth(1);
        panel.setBorderColor(clRed);
        const QImage face = panel.RenderFace();
        QCOMPARE(face.pixel(10, 0), rgb(clBtnFace));
        QCOMPARE(face.pixel(0, 0), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(10, 19), rgb(clBtnShadow));
        QCOMPARE(face.pixel(10, 18), qRgb(255, 0, 0));
    }

    void ctl3DBevelTakesTwoRings()
    {
        TProPanel panel;
        panel.resize(20, 20);
        panel.setBevelWidth(5);
        panel.setBevelCtl3D(true);
        QCOMPARE(panel.BevelWidth(), 2);
        QCOMPARE(panel.contentsRect(), QRect(2, 2, 16, 16));
        const QImage face = panel.RenderFace();
        QCOMPARE(face.pixel(0, 5), rgb(clBtnHighlight));
        QCOMPARE(face.pixel(19, 5), rgb(clBtnText));
        QCOMPARE(face.pixel(1, 5), rgb(cl3DLight));
        QCOMPARE(face.pixel(18, 5), rgb(clBtnShadow));
        panel.setBevelCtl3D(false);
        QCOMPARE(panel.BevelWidth(), 1);
    }

    void captionWrapsAndAlignsVertically_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::newRow("top") << int(P::vaTop);
        QTest::newRow("center") << int(P::vaCenter);
        QTest::newRow("bottom") << int(P::vaBottom);
    }
    void captionWrapsAndAlignsVertically()
    {
        QFETCH(int, alignment);
        TProPanel panel;
        panel.setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 11));
        panel.resize(60, 120);
        panel.setBevelOuter(P::bvNone);
        panel.setColor(clWhite);
        panel.setCaption(QStringLiteral("one two three four five"));
        panel.setVerticalAlignment(P::TVerticalAlignment(alignment));
        const QImage face = panel.RenderFace();
        int top = -1, bottom = -1;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (face.pixel(x, y) != qRgb(255, 255, 255)) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                }
        QVERIFY(top >= 0);
        QVERIFY2(bottom - top > 2 * QFontMetrics(panel.font()).height(), "the caption wraps");
        if (alignment == P::vaTop)
            QVERIFY(top < 5);
        else if (alignment == P::vaBottom)
            QVERIFY(bottom > 110);
        else
            QVERIFY(qAbs(top - (119 - bottom)) <= 4);
    }

    void emptyCaptionDrawsOnlyTheFace()
    {
        TProPanel panel;
        panel.resize(30, 30);
        const QImage face = panel.RenderFace();
        for (int y = 1; y < 29; ++y)
            for (int x = 1; x < 29; ++x)
                QCOMPARE(face.pixel(x, y), rgb(clBtnFace));
    }

    void defaultsAndEnterLeaveEvents()
    {
        TProPanel panel;
        QCOMPARE(panel.Alignment(), P::taCenter);
        QCOMPARE(panel.BevelOuter(), P::bvRaised);
        QCOMPARE(panel.BevelInner(), P::bvNone);
        QCOMPARE(panel.BevelSides(), P::AllSides);
        QCOMPARE(panel.BorderColor(), clBtnFace);
        QCOMPARE(panel.VerticalAlignment(), P::vaCenter);
        QVERIFY(panel.Caption().isEmpty());
        QSignalSpy enters(&panel, &P::OnMouseEnter);
        QSignalSpy leaves(&panel, &P::OnMouseLeave);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&panel, &enter);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&panel, &leave);
        QCOMPARE(enters.count(), 1);
        QCOMPARE(leaves.count(), 1);
    }
};

QTEST_MAIN(TestProCustomPanel)
#include "tst_procustompanel.moc"
