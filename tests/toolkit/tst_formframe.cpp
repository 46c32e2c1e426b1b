#include "graphics/colors.h"
#include "toolkit/fonts.h"
#include "toolkit/form.h"
#include "toolkit/metrics.h"

#include "support/mainwindowform.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <vector>

using namespace darvolt;
using namespace darvolt::messages;

Q_DECLARE_METATYPE(TFormBorderStyle)
Q_DECLARE_METATYPE(TBorderIcons)

namespace {

// A form that keeps the non-client messages its own procedure receives.
class WatchedForm : public TForm
{
public:
    struct Seen
    {
        UINT msg;
        WPARAM wParam;
        QRegion region; // of WM_NCPAINT, in screen coordinates
    };
    std::vector<Seen> seen;

    ~WatchedForm() override { BeginDestroy(); }

    int count(UINT msg) const
    {
        return int(std::count_if(seen.begin(), seen.end(), [msg](const Seen &s) { return s.msg == msg; }));
    }

protected:
    void WndProc(TMessage &message) override
    {
        Seen s{message.Msg, message.WParam, {}};
        if (message.Msg == WM_NCPAINT)
            if (HRGN region = RegionFromParam(message.WParam))
                s.region = *region;
        seen.push_back(s);
        TForm::WndProc(message);
    }
};

} // namespace

class TestFormFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InstallFontSubstitutes(); }

    void captionButtonsAndBand_data()
    {
        QTest::addColumn<TFormBorderStyle>("style");
        QTest::addColumn<TBorderIcons>("icons");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QRect>("band"); // for a window at (100, 50), 396 x 281
        const TBorderIcons all = biSystemMenu | biMinimize | biMaximize | biHelp;
        QTest::newRow("main window") << bsSingle << (biSystemMenu | biMinimize) << 3 << QRect(103, 53, 336, 18);
        QTest::newRow("min and max") << bsSingle << (biSystemMenu | biMinimize | biMaximize) << 3 << QRect(103, 53, 336, 18);
        QTest::newRow("close only") << bsSingle << TBorderIcons(biSystemMenu) << 1 << QRect(103, 53, 372, 18);
        QTest::newRow("no system menu drops min and max") << bsSingle << (biMinimize | biMaximize) << 0 << QRect(103, 53, 390, 18);
        QTest::newRow("help beside close") << bsSingle << (biSystemMenu | biHelp) << 2 << QRect(103, 53, 354, 18);
        QTest::newRow("help gives way to minimise") << bsSingle << (biSystemMenu | biMinimize | biHelp) << 3 << QRect(103, 53, 336, 18);
        QTest::newRow("dialog keeps menu and help") << bsDialog << all << 2 << QRect(103, 53, 354, 18);
        QTest::newRow("dialog without icons") << bsDialog << TBorderIcons() << 0 << QRect(103, 53, 390, 18);
        QTest::newRow("sizeable frame") << bsSizeable << (biSystemMenu | biMaximize) << 3 << QRect(104, 54, 334, 18);
        QTest::newRow("tool window") << bsToolWindow << all << 1 << QRect(103, 53, 378, 15);
        QTest::newRow("sizeable tool window") << bsSizeToolWin << all << 1 << QRect(104, 54, 376, 15);
    }
    void captionButtonsAndBand()
    {
        QFETCH(TFormBorderStyle, style);
        QFETCH(TBorderIcons, icons);
        QFETCH(int, buttons);
        QFETCH(QRect, band);
        QCOMPARE(CaptionButtonCount(style, icons), buttons);
        QCOMPARE(CaptionRect(QRect(100, 50, 396, 281), style, icons), band);
        // Nothing the form draws as a button lies inside the band.
        const TNonClientLayout l = ::NonClientLayout(QSize(396, 281), style, icons);
        for (const QRect &button : {l.minButton, l.maxButton, l.closeButton, l.helpButton})
            QVERIFY(!button.intersects(l.band));
    }

    void windowIsClientPlusFrame_data()
    {
        QTest::addColumn<TFormBorderStyle>("style");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("clientAt");
        QTest::newRow("main window, single") << bsSingle << QSize(390, 256) << QSize(396, 281) << QPoint(3, 22);
        QTest::newRow("about box, dialog") << bsDialog << QSize(313, 203) << QSize(319, 228) << QPoint(3, 22);
        QTest::newRow("sizeable") << bsSizeable << QSize(200, 100) << QSize(208, 127) << QPoint(4, 23);
        QTest::newRow("tool window") << bsToolWindow << QSize(100, 50) << QSize(106, 72) << QPoint(3, 19);
        QTest::newRow("sizeable tool window") << bsSizeToolWin << QSize(100, 50) << QSize(108, 74) << QPoint(4, 20);
        QTest::newRow("no border") << bsNone << QSize(120, 40) << QSize(120, 40) << QPoint(0, 0);
    }
    void windowIsClientPlusFrame()
    {
        QFETCH(TFormBorderStyle, style);
        QFETCH(QSize, client);
        QFETCH(QSize, window);
        QFETCH(QPoint, clientAt);
        TForm form;
        form.setBorderStyle(style);
        form.setClientSize(client);
        QCOMPARE(form.size(), window);
        QCOMPARE(form.Client()->geometry(), QRect(clientAt, client));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), window);
        QCOMPARE(form.Client()->geometry(), QRect(clientAt, client));
    }

    void layoutSizingTheHiddenClientSizesTheWindow()
    {
        // What setupUi does: resize the client and give it a title and icon.
        TForm form;
        form.setBorderStyle(bsSingle);
        form.Client()->resize(390, 256);
        form.Client()->setWindowTitle(QStringLiteral("From the layout"));
        QPixmap red(32, 32);
        red.fill(Qt::red);
        form.Client()->setWindowIcon(QIcon(red));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(396, 281));
        QCOMPARE(form.Client()->geometry(), QRect(3, 22, 390, 256));
        QCOMPARE(form.Caption(), QStringLiteral("From the layout"));
        QVERIFY(!form.Icon().isNull());
        QCOMPARE(form.RenderWindow().pixel(10, 12), qRgb(255, 0, 0)); // the icon in the band
    }

    void changingTheBorderKeepsTheClientSize()
    {
        TForm form;
        form.setClientSize({390, 256});
        form.setBorderStyle(bsSingle);
        QCOMPARE(form.ClientWidth(), 390);
        QCOMPARE(form.ClientHeight(), 256);
        form.setBorderStyle(bsToolWindow);
        QCOMPARE(form.size(), QSize(396, 278));
        QCOMPARE(form.ClientHeight(), 256);
    }

    void plainCaptionInActiveAndInactiveColours()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        QVERIFY(showActive(form));
        QTRY_VERIFY(form.Active());
        QImage image = form.RenderWindow();
        QCOMPARE(image.size(), QSize(396, 281));
        // Band from (3,3), 18 rows high; the far left end is past the icon.
        QCOMPARE(image.pixel(200, 5), rgb(clActiveCaption));
        QCOMPARE(image.pixel(20, 20), rgb(clActiveCaption));
        QCOMPARE(image.pixel(200, 21), rgb(clBtnFace)); // the line under the band
        // The title is drawn in the caption text colour somewhere left of 200.
        bool text = false;
        for (int x = 21; x < 200 && !text; ++x)
            for (int y = 5; y < 19 && !text; ++y)
                text = image.pixel(x, y) == rgb(clCaptionText);
        QVERIFY(text);

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_VERIFY(!form.Active());
        QVERIFY(form.count(WM_NCACTIVATE) >= 2);
        image = form.RenderWindow();
        QCOMPARE(image.pixel(200, 5), rgb(clInactiveCaption));
    }

    void classicFrameEdges()
    {
        TForm form;
        makeMainWindowLike(form);
        form.show();
        const QImage image = form.RenderWindow();
        QCOMPARE(image.pixel(0, 100), rgb(cl3DLight));
        QCOMPARE(image.pixel(1, 100), rgb(clBtnHighlight));
        QCOMPARE(image.pixel(2, 100), rgb(clBtnFace));
        QCOMPARE(image.pixel(395, 100), rgb(cl3DDkShadow));
        QCOMPARE(image.pixel(394, 100), rgb(clBtnShadow));
        QCOMPARE(image.pixel(200, 280), rgb(cl3DDkShadow));
        QCOMPARE(image.pixel(200, 0), rgb(cl3DLight));
    }

    void mainWindowShowsThreeButtonsMaximiseDisabled()
    {
        TForm form;
        makeMainWindowLike(form);
        const TNonClientLayout l = form.NonClientLayout();
        QCOMPARE(l.closeButton, QRect(375, 5, 16, 14));
        QCOMPARE(l.maxButton, QRect(357, 5, 16, 14));
        QCOMPARE(l.minButton, QRect(341, 5, 16, 14));
        QVERIFY(l.minEnabled);
        QVERIFY(!l.maxEnabled);
        QVERIFY(l.helpButton.isEmpty());
        QCOMPARE(l.band, QRect(3, 3, 336, 18));
        form.show();
        const QImage image = form.RenderWindow();
        // Close glyph in button-text black, the disabled maximise glyph in
        // the shadow colour.
        QCOMPARE(image.pixel(375 + 4, 5 + 3), rgb(clBtnText));
        QCOMPARE(image.pixel(357 + 3, 5 + 2), rgb(clBtnShadow));
        QCOMPARE(image.pixel(341 + 5, 5 + 9), rgb(clBtnText));
    }

    void aboutBoxHasNoButtonsNorIcon()
    {
        TForm form;
        form.setBorderStyle(bsDialog);
        form.setBorderIcons({});
        form.setClientSize({313, 203});
        const TNonClientLayout l = form.NonClientLayout();
        QVERIFY(l.closeButton.isEmpty() && l.minButton.isEmpty() && l.helpButton.isEmpty());
        QVERIFY(l.icon.isEmpty());
        QCOMPARE(l.band, QRect(3, 3, 313, 18));
        QCOMPARE(form.SystemMenu(), nullptr);
    }

    void ncPaintCarriesOnlyTheInvalidPart()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.RenderWindow();
        form.seen.clear();
        form.setCaption(QStringLiteral("Another title"));
        form.FlushNonClient();
        QCOMPARE(form.count(WM_NCPAINT), 1);
        const QRegion expected = QRegion(form.NonClientLayout().captionRow)
                                     .translated(form.WindowRect().topLeft());
        QCOMPARE(form.seen.back().region, expected);
        form.FlushNonClient();
        QCOMPARE(form.count(WM_NCPAINT), 1); // nothing pending any more
    }

    void wholeWindowParamPaintsEverything()
    {
        TForm form;
        makeMainWindowLike(form);
        form.show();
        form.RenderWindow();
        {
            TWindowDC dc(&form);
            dc.Canvas()->fillRect(form.rect(), Qt::green);
        }
        form.Deliver(WM_NCPAINT, NCPAINT_WHOLE_WINDOW);
        const QImage image = form.RenderWindow();
        QCOMPARE(image.pixel(0, 0), rgb(cl3DLight));
        QCOMPARE(image.pixel(200, 5), rgb(clInactiveCaption));
    }

    void ncActivateRepaintsTheBandAtOnce()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        form.RenderWindow();
        QSignalSpy spy(&form, &TForm::ActiveChanged);
        QCOMPARE(form.Deliver(WM_NCACTIVATE, 1), LRESULT(1));
        QVERIFY(form.Active());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(form.RenderWindow().pixel(200, 5), rgb(clActiveCaption));
        form.Deliver(WM_NCACTIVATE, 0);
        QCOMPARE(form.RenderWindow().pixel(200, 5), rgb(clInactiveCaption));
        QCOMPARE(spy.count(), 2);
    }

    void longTitleIsShortenedBeforeTheButtons()
    {
        TForm form;
        makeMainWindowLike(form);
        form.setClientWidth(120);
        form.setCaption(QString(60, QLatin1Char('W')));
        form.show();
        form.Deliver(WM_NCACTIVATE, 1);
        const QImage image = form.RenderWindow();
        const TNonClientLayout l = form.NonClientLayout();
        for (int x = l.textArea.right() + 1; x < l.minButton.left(); ++x)
            for (int y = l.band.top(); y <= l.band.bottom(); ++y)
                QCOMPARE(image.pixel(x, y), rgb(clActiveCaption));
    }

    void recreatingTheWindowRepaintsTheFrame()
    {
        WatchedForm form;
        makeMainWindowLike(form);
        form.show();
        form.RenderWindow();
        const HWND before = form.WindowHandle();
        form.seen.clear();
        form.setBorderIcons(biSystemMenu);
        QVERIFY(form.WindowHandle() != before);
        QCOMPARE(form.count(WM_DESTROY), 1);
        form.FlushNonClient();
        QCOMPARE(form.count(WM_NCPAINT), 1);
        QVERIFY(form.NonClientLayout().minButton.isEmpty());
    }
};

QTEST_MAIN(TestFormFrame)
#include "tst_formframe.moc"
