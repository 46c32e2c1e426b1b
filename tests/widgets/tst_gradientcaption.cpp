#include "toolkit/fonts.h"
#include "toolkit/form.h"
#include "widgets/gradientcaption.h"
#include "widgets/windowhook.h"

#include "support/mainwindowform.h"

#include <QApplication>
#include <QTest>

#include <set>

using namespace darvolt;
using namespace darvolt::messages;

namespace {

class WatchedForm : public TForm
{
public:
    int ncPaints = 0;
    QRegion lastRegion;
    WPARAM lastParam = 0;
    ~WatchedForm() override { BeginDestroy(); }

protected:
    void WndProc(TMessage &message) override
    {
        if (message.Msg == WM_NCPAINT) {
            ++ncPaints;
            lastParam = message.WParam;
            lastRegion = RegionFromParam(message.WParam) ? *RegionFromParam(message.WParam) : QRegion();
        }
        TForm::WndProc(message);
    }
};

const QPoint bandAt(3, 3);
constexpr int bandWidth = 336;

// The blue of the ramp at band column x for the default colours (black into
// navy), `bands` bands over 420 pixels starting 84 pixels left of the band.
int expectedBlue(int x, int bands)
{
    const int total = bandWidth + bandWidth / 4;
    const int size = total / bands;
    const int pos = x + bandWidth / 4;
    if (pos >= size * bands)
        return 128;
    return bands == 1 ? 0 : MulDiv(pos / size, 128, bands - 1);
}

} // namespace

class TestGradientCaption : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InstallFontSubstitutes(); }
    void cleanup() { QCoreApplication::sendPostedEvents(); }

    void defaults()
    {
        TRxGradientCaption caption;
        QVERIFY(caption.Active());
        QCOMPARE(caption.Captions()->Count(), 0);
        QVERIFY(caption.DefaultFont());
        QCOMPARE(caption.FormCaption(), QString());
        QCOMPARE(caption.FontInactiveColor(), clInactiveCaptionText);
        QCOMPARE(caption.FontColor(), clCaptionText);
        QVERIFY(caption.Font().bold());
        QVERIFY(caption.GradientActive());
        QVERIFY(!caption.GradientInactive());
        QCOMPARE(caption.GradientSteps(), 64);
        QCOMPARE(caption.HideDirection(), hdLeftToRight);
        QCOMPARE(caption.PopupMenu(), nullptr);
        QCOMPARE(caption.StartColor(), clWindowText);
        // Not on a form: never effectively active, nothing hooked.
        QVERIFY(!caption.IsEffectivelyActive());
        QCOMPARE(caption.Hook()->WinControl(), nullptr);
    }

    void activeBandRampsFromAFifthAlong_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("bands");
        QTest::newRow("default 64") << 64 << 64;
        QTest::newRow("16") << 16 << 16;
        QTest::newRow("low 8 bits of 300") << 300 << 44;
    }
    void activeBandRampsFromAFifthAlong()
    {
        QFETCH(int, steps);
        QFETCH(int, bands);
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        caption->setFormCaption(QStringLiteral("Darvolt - The File Splitter"));
        caption->setGradientSteps(steps);
        QVERIFY(showActive(form));
        QVERIFY(caption->WindowActive());
        const QImage image = form.RenderWindow();
        std::set<QRgb> colours;
        for (int x = 0; x < bandWidth; ++x) {
            // The top row of the band holds neither icon nor text.
            const QRgb pixel = image.pixel(bandAt + QPoint(x, 0));
            QCOMPARE(pixel, qRgb(0, 0, expectedBlue(x, bands)));
            colours.insert(pixel);
        }
        QVERIFY(int(colours.size()) <= bands);
        QVERIFY(qBlue(image.pixel(bandAt)) > 0); // a fifth along, not black
        QCOMPARE(image.pixel(bandAt + QPoint(bandWidth - 1, 17)), rgb(clActiveCaption));
        // The buttons right of the band are the form's own.
        QCOMPARE(image.pixel(375 + 4, 5 + 3), rgb(clBtnText));
    }

    void oneOr256StepsPaintTheStartColour_data()
    {
        QTest::addColumn<int>("steps");
        QTest::newRow("1") << 1;
        QTest::newRow("256") << 256;
        QTest::newRow("0") << 0;
    }
    void oneOr256StepsPaintTheStartColour()
    {
        QFETCH(int, steps);
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        caption->setStartColor(clRed);
        caption->setGradientSteps(steps);
        QVERIFY(showActive(form));
        const QImage image = form.RenderWindow();
        for (int x = 0; x < bandWidth; ++x)
            QCOMPARE(image.pixel(bandAt + QPoint(x, 0)), qRgb(255, 0, 0));
    }

    void inactiveBandIsSolidWithInactiveText()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        caption->setFormCaption(QStringLiteral("Darvolt - The File Splitter"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget other; // takes the activation away from the form
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_VERIFY(!caption->WindowActive());
        const QImage image = form.RenderWindow();
        bool text = false;
        for (int x = 0; x < bandWidth; ++x) {
            QCOMPARE(image.pixel(bandAt + QPoint(x, 0)), rgb(clInactiveCaption));
            for (int y = 1; y < 17; ++y)
                text = text || (x >= 20 && image.pixel(bandAt + QPoint(x, y)) == rgb(clInactiveCaptionText));
        }
        QVERIFY(text);

        caption->setGradientInactive(true);
        const QImage ramp = form.RenderWindow();
        QCOMPARE(ramp.pixel(bandAt + QPoint(bandWidth - 1, 0)), rgb(clInactiveCaption));
        QVERIFY(ramp.pixel(bandAt) != rgb(clInactiveCaption));
    }

    void iconAndTextPlaces()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        QPixmap red(32, 32);
        red.fill(Qt::red);
        form.setIcon(QIcon(red));
        auto *caption = new TRxGradientCaption(&form);
        caption->setFormCaption(QStringLiteral("Darvolt - The File Splitter"));
        caption->setStartColor(clBlack);
        caption->setGradientSteps(1); // a black band shows the white text plainly
        QVERIFY(showActive(form));
        const QImage image = form.RenderWindow();
        // Icon 16 x 16 at (1 + (18 - 16) / 2, (18 - 16) / 2) in the band.
        QCOMPARE(image.pixel(bandAt + QPoint(2, 1)), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(bandAt + QPoint(17, 16)), qRgb(255, 0, 0));
        QCOMPARE(image.pixel(bandAt + QPoint(1, 1)), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(bandAt + QPoint(18, 1)), qRgb(0, 0, 0));
        // Text starts at H + 2 = 20 in the band.
        int firstText = -1;
        for (int x = 18; x < bandWidth && firstText < 0; ++x)
            for (int y = 0; y < 18; ++y)
                if (qRed(image.pixel(bandAt + QPoint(x, y))) > 128) {
                    firstText = x;
                    break;
                }
        QVERIFY2(firstText >= 20 && firstText <= 22, qPrintable(QString::number(firstText)));
    }

    void narrowBandEndsInEllipsisInsideTheBand()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.setClientWidth(110);
        auto *caption = new TRxGradientCaption(&form);
        caption->setFormCaption(QStringLiteral("Darvolt - The File Splitter"));
        caption->setGradientSteps(1);
        QVERIFY(showActive(form));
        const QRect band = caption->CaptionRect().translated(-form.WindowRect().topLeft());
        QCOMPARE(band.width(), 56);
        const QString shown = FitText(caption->Font(), caption->FormCaption(), band.width() - 20);
        QVERIFY(shown.endsWith(QStringLiteral("...")));
        QVERIFY(shown.size() < caption->FormCaption().size());
        const QImage image = form.RenderWindow();
        // Nothing of the text spills over the form's buttons.
        QCOMPARE(image.pixel(form.NonClientLayout().minButton.topLeft() + QPoint(3, 3)), rgb(clBtnFace));
    }

    void switchingActiveOffBringsThePlainCaptionBackAtOnce()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        bool activated = false, deactivated = false;
        caption->OnActivate = [&](QObject *sender) { activated = sender == caption; };
        caption->OnDeactivate = [&](QObject *sender) { deactivated = sender == caption; };
        QVERIFY(showActive(form));
        QVERIFY(form.RenderWindow().pixel(bandAt) != rgb(clActiveCaption));
        caption->setActive(false);
        QVERIFY(deactivated);
        QCOMPARE(GetWindowProc(form.Handle()), form.OwnWindowProc());
        QCOMPARE(form.RenderWindow().pixel(bandAt), rgb(clActiveCaption));
        caption->setActive(true);
        QVERIFY(activated);
        QVERIFY(form.RenderWindow().pixel(bandAt) != rgb(clActiveCaption));
    }

    void bandIsCutOutOfTheFormsPaintRegion()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRegion whole(form.WindowRect());
        form.Deliver(WM_NCPAINT, RegionParam(&whole));
        QCOMPARE(form.lastRegion, whole - QRegion(caption->CaptionRect()));
        // A paint that does not touch the band goes through untouched.
        const QRegion bottom(form.WindowRect().adjusted(0, 100, 0, 0));
        form.Deliver(WM_NCPAINT, RegionParam(&bottom));
        QCOMPARE(form.lastParam, RegionParam(&bottom));
        form.Deliver(WM_NCPAINT, NCPAINT_WHOLE_WINDOW);
        QCOMPARE(form.lastParam, NCPAINT_WHOLE_WINDOW);
    }

    void unchangedPropertiesDoNotRepaint()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        QVERIFY(showActive(form));
        form.RenderWindow();
        const int before = form.ncPaints;
        caption->setStartColor(clWindowText);
        caption->setGradientSteps(64);
        caption->setFormCaption(QString());
        caption->setHideDirection(hdLeftToRight);
        caption->setGradientInactive(true); // shown only while inactive
        caption->setFontInactiveColor(clRed);
        QCOMPARE(form.ncPaints, before);
        caption->setStartColor(clBlue);
        QCOMPARE(form.ncPaints, before + 1);
        caption->setGradientActive(false);
        QCOMPARE(form.ncPaints, before + 2);
        caption->setGradientSteps(10); // no ramp shown now
        QCOMPARE(form.ncPaints, before + 2);
    }

    void fontChangesLeaveTheDefaultAndComeBack()
    {
        TRxGradientCaption caption;
        const QFont system = caption.Font();
        QFont big = system;
        big.setPixelSize(20);
        caption.setFont(big);
        QVERIFY(!caption.DefaultFont());
        caption.setDefaultFont(true);
        QCOMPARE(caption.Font(), system);
        caption.setFontColor(clRed);
        QVERIFY(!caption.DefaultFont());
        caption.setDefaultFont(true);
        QCOMPARE(caption.FontColor(), clCaptionText);
    }

    void recreatedWindowKeepsTheGradient()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        QVERIFY(showActive(form));
        const QRgb ramp = form.RenderWindow().pixel(bandAt);
        QVERIFY(ramp != rgb(clActiveCaption));
        form.RecreateWnd();
        QTRY_COMPARE(GetWindowProc(form.Handle()), caption->Hook()->ControlHook()->Procedure());
        form.InvalidateNonClient();
        QCOMPARE(form.RenderWindow().pixel(bandAt), ramp);
    }

    void rightClickShowsThePopupMenuNotTheSystemMenu()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        TPopupMenu menu;
        menu.addAction(QStringLiteral("Something"));
        caption->setPopupMenu(&menu);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(&form, Qt::RightButton, {}, QPoint(150, 10));
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.PopupComponent(), caption);
        QVERIFY(!form.SystemMenu()->isVisible());
        menu.hide();

        menu.setAutoPopup(false);
        QTest::mouseClick(&form, Qt::RightButton, {}, QPoint(150, 10));
        QTRY_VERIFY(form.SystemMenu()->isVisible());
        QVERIFY(!menu.isVisible());
        form.SystemMenu()->hide();
    }

    void removedPopupMenuIsForgotten()
    {
        TRxGradientCaption caption;
        auto *menu = new TPopupMenu;
        caption.setPopupMenu(menu);
        delete menu;
        QCOMPARE(caption.PopupMenu(), nullptr);
    }

    void goesQuietlyWithItsForm()
    {
        auto *form = new WatchedForm;
        makeMainWindowLike(*form);
        auto *caption = new TRxGradientCaption(form);
        bool deactivated = false;
        caption->OnDeactivate = [&](QObject *) { deactivated = true; };
        QVERIFY(showActive(*form));
        delete form;
        QVERIFY(!deactivated);
        QTRY_COMPARE(THookList::Instance().Count(), std::size_t(0));
    }

    void deletingTheCaptionUnhooksTheForm()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        auto *caption = new TRxGradientCaption(&form);
        QVERIFY(GetWindowProc(form.Handle()) != form.OwnWindowProc());
        delete caption;
        QCOMPARE(GetWindowProc(form.Handle()), form.OwnWindowProc());
    }
};

QTEST_MAIN(TestGradientCaption)
#include "tst_gradientcaption.moc"
