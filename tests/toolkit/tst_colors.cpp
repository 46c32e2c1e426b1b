#include "graphics/colors.h"

#include <QTest>

using namespace darvolt;

class TestColors : public QObject
{
    Q_OBJECT

private slots:
    void systemColorsResolveThroughTheClassicTable_data()
    {
        QTest::addColumn<TColor>("color");
        QTest::addColumn<QColor>("rgb");
        QTest::newRow("button face") << clBtnFace << QColor(192, 192, 192);
        QTest::newRow("button shadow") << clBtnShadow << QColor(128, 128, 128);
        QTest::newRow("button highlight") << clBtnHighlight << QColor(255, 255, 255);
        QTest::newRow("button text") << clBtnText << QColor(0, 0, 0);
        QTest::newRow("3-D light") << cl3DLight << QColor(192, 192, 192);
        QTest::newRow("3-D dark shadow") << cl3DDkShadow << QColor(0, 0, 0);
        QTest::newRow("window") << clWindow << QColor(255, 255, 255);
        QTest::newRow("window text") << clWindowText << QColor(0, 0, 0);
        QTest::newRow("gray text") << clGrayText << QColor(128, 128, 128);
        QTest::newRow("active caption") << clActiveCaption << QColor(0, 0, 128);
        QTest::newRow("inactive caption") << clInactiveCaption << QColor(128, 128, 128);
        QTest::newRow("caption text") << clCaptionText << QColor(255, 255, 255);
        QTest::newRow("inactive caption text") << clInactiveCaptionText << QColor(192, 192, 192);
        QTest::newRow("gradient active") << clGradientActiveCaption << QColor(16, 132, 208);
        QTest::newRow("gradient inactive") << clGradientInactiveCaption << QColor(181, 181, 181);
        QTest::newRow("info background") << clInfoBk << QColor(255, 255, 225);
        QTest::newRow("menu bar, last entry") << clMenuBar << QColor(192, 192, 192);
    }
    void systemColorsResolveThroughTheClassicTable()
    {
        QFETCH(TColor, color);
        QFETCH(QColor, rgb);
        QCOMPARE(ColorToRGB(color), rgb);
    }

    void namedConstantsHaveTheirStoredValues()
    {
        QCOMPARE(clBtnFace, 0x8000000Fu);
        QCOMPARE(clBtnShadow, 0x80000010u);
        QCOMPARE(clBtnText, 0x80000012u);
        QCOMPARE(clBtnHighlight, 0x80000014u);
        QCOMPARE(cl3DLight, 0x80000016u);
        QCOMPARE(clWindowText, 0x80000008u);
        QCOMPARE(clNone, 0x1FFFFFFFu);
        QCOMPARE(clDefault, 0x20000000u);
    }

    void plainColorsKeepRedInTheLowByte()
    {
        QCOMPARE(ColorToRGB(clRed), QColor(255, 0, 0));
        QCOMPARE(ColorToRGB(clBlue), QColor(0, 0, 255));
        QCOMPARE(ColorToRGB(clNavy), QColor(0, 0, 128));
        QCOMPARE(ColorToRGB(0xB1A90C), QColor(12, 169, 177));
        QCOMPARE(ColorToRGB(0xE1EAEB), QColor(235, 234, 225));
    }

    void rgbRoundTripsToAPlainColor()
    {
        QCOMPARE(RGBToColor(QColor(12, 169, 177)), TColor(0xB1A90C));
        QCOMPARE(RGBToColor(ColorToRGB(clBtnFace)), TColor(0xC0C0C0));
        QVERIFY(!IsSystemColor(RGBToColor(QColor(255, 255, 255, 10))));
    }

    void unknownSystemIndexAndSpecialValuesDoNotCrash()
    {
        QCOMPARE(ColorToRGB(clSystemColor + 200), QColor(0, 0, 0));
        QCOMPARE(ColorToRGB(clNone).alpha(), 0);
        QCOMPARE(ColorToRGB(clDefault).alpha(), 0);
    }
};

QTEST_GUILESS_MAIN(TestColors)
#include "tst_colors.moc"
