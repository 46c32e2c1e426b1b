// Layout fonts: turned into their pixel size and resolved family the moment
// a layout sets them, so both windows are built and drawn in their final
// fonts only.
#include "apptest.h"

#include "app/layoutfonts.h"
#include "app/taboutbox.h"
#include "app/tform4.h"
#include "toolkit/fonts.h"

#include <QLineEdit>

using namespace darvolt;

class TestLayoutFonts : public QObject
{
    Q_OBJECT

private slots:
    void fontsSetWhileALayoutIsReadAreFinalAtOnce_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("substituted");
        QTest::addColumn<int>("pixels");
        QTest::newRow("dialog face, 8 points") << "MS Sans Serif" << 8 << false << true << 11;
        QTest::newRow("bold, 10 points") << "MS Sans Serif" << 10 << true << true << 13;
        QTest::newRow("shell face in lower case") << "ms shell dlg 2" << 11 << false << true << 15;
        QTest::newRow("other face") << "DejaVu Serif" << 10 << false << false << 13;
    }
    void fontsSetWhileALayoutIsReadAreFinalAtOnce()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(bool, bold);
        QFETCH(bool, substituted);
        QFETCH(int, pixels);
        const QString drawnIn = substituted ? SubstituteFamily() : family;
        QFont layoutFont(family);
        layoutFont.setPointSize(points);
        layoutFont.setBold(bold);
        QWidget window;
        {
            const TLayoutFontScope scope;
            window.setFont(layoutFont);
            // A control the layout makes next measures in the final font.
            const auto *edit = new QLineEdit(&window);
            QCOMPARE(edit->font().pixelSize(), pixels);
            QCOMPARE(edit->font().family(), drawnIn);
        }
        QCOMPARE(window.font().pixelSize(), pixels);
        QCOMPARE(window.font().family(), drawnIn);
        QCOMPARE(window.font().bold(), bold);
        // Once the layout is read, fonts stay as they are set.
        window.setFont(layoutFont);
        QCOMPARE(window.font().pointSize(), points);
    }

    void bothWindowsDrawInTheResolvedFamilyInPixels()
    {
        TForm4 form;
        TAboutBox box;
        for (QWidget *window : {static_cast<QWidget *>(&form), static_cast<QWidget *>(&box)}) {
            auto widgets = window->findChildren<QWidget *>();
            widgets << window;
            for (const QWidget *widget : widgets) {
                const QByteArray name = widget->objectName().toUtf8();
                QVERIFY2(widget->font().pixelSize() > 0, name.constData());
                QVERIFY2(widget->font().family() == SubstituteFamily(), name.constData());
            }
        }
    }
};

DARVOLT_APP_TEST_MAIN(TestLayoutFonts)
#include "tst_layoutfonts.moc"
