// The main window's title band, rendered whole with its frame: the ramp and
// the full title while the window is active, the plain inactive band while
// another window is, and the plain look back when the caption is switched
// off.
#include "apptest.h"

#include "app/tform4.h"
#include "platform/fakeplatform.h"
#include "widgets/gradientcaption.h"

#include <QFontMetrics>

using namespace darvolt;

namespace {

QRgb Rgb(TColor color)
{
    return ColorToRGB(color).rgb();
}

// The main window's band: single border, minimise and close, so it starts
// inside the 3-pixel frame and leaves room for three buttons of 18 pixels.
const QPoint bandAt(3, 3);
constexpr int bandWidth = 336;
constexpr int bandHeight = 18;

// The blue of the default ramp (black into navy, 64 bands) at band column x:
// the ramp starts a quarter of the band's width left of it.
int RampBlue(int x)
{
    const int total = bandWidth + bandWidth / 4;
    const int size = total / 64;
    const int pos = x + bandWidth / 4;
    if (pos >= size * 64)
        return 128;
    return MulDiv(pos / size, 128, 63);
}

// The columns of the band (from the text area on) that hold a pixel passing
// the test.
std::pair<int, int> InkedColumns(const QImage &image, const std::function<bool(QRgb)> &ink)
{
    int first = -1, last = -1;
    for (int x = bandHeight; x < bandWidth; ++x)
        for (int y = 0; y < bandHeight; ++y)
            if (ink(image.pixel(bandAt + QPoint(x, y)))) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

class tst_Form4Caption : public QObject
{
    Q_OBJECT

private:
    darvolt::FakePlatform platform;

    static bool ShowActive(TForm4 &form)
    {
        form.show();
        form.activateWindow();
        return QTest::qWaitForWindowActive(&form) && form.Active();
    }

private slots:
    void activeWindowShowsTheRampAndTheWholeTitle()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        QVERIFY(ShowActive(form));
        TRxGradientCaption *caption = form.RxGradientCaption1;
        QVERIFY(caption->WindowActive());
        QCOMPARE(caption->CaptionRect().translated(-form.WindowRect().topLeft()),
                 QRect(bandAt, QSize(bandWidth, bandHeight)));
        const QImage image = form.RenderWindow();
        // The top row holds neither icon nor text: the ramp, a fifth along
        // from black at the left, navy for the remainder at the right.
        for (int x = 0; x < bandWidth; ++x)
            QCOMPARE(image.pixel(bandAt + QPoint(x, 0)), qRgb(0, 0, RampBlue(x)));
        QCOMPARE(image.pixel(bandAt), qRgb(0, 0, 28));
        QCOMPARE(image.pixel(bandAt + QPoint(bandWidth - 1, bandHeight - 1)), Rgb(clActiveCaption));
        // The program's icon at its place, not the ramp.
        bool icon = false;
        for (int x = 2; x < 18 && !icon; ++x)
            for (int y = 1; y < 17 && !icon; ++y)
                icon = image.pixel(bandAt + QPoint(x, y)) != qRgb(0, 0, RampBlue(x));
        QVERIFY(icon);
        // The whole title in the caption text colour from the text area on.
        const auto [first, last] = InkedColumns(image, [](QRgb p) { return qRed(p) > 128; });
        const int titleWidth = QFontMetrics(caption->Font()).horizontalAdvance(QStringLiteral("Darvolt - The File Splitter"));
        QVERIFY2(first >= 20 && first <= 22, qPrintable(QString::number(first)));
        QVERIFY2(qAbs(last - (20 + titleWidth)) <= 3, qPrintable(QStringLiteral("%1 %2").arg(last).arg(titleWidth)));
        bool white = false;
        for (int x = first; x <= last && !white; ++x)
            for (int y = 0; y < bandHeight && !white; ++y)
                white = image.pixel(bandAt + QPoint(x, y)) == Rgb(clCaptionText);
        QVERIFY(white);
        // The window's own buttons stay right of the band.
        const TNonClientLayout layout = form.NonClientLayout();
        QVERIFY(layout.minButton.left() >= bandAt.x() + bandWidth);
        QCOMPARE(image.pixel(layout.closeButton.topLeft() + QPoint(2, 2)), Rgb(clBtnFace));
        if (const QByteArray dir = qgetenv("DARVOLT_RENDER_DIR"); !dir.isEmpty())
            image.save(QString::fromLocal8Bit(dir) + QStringLiteral("/tform4-active.png"));
    }

    void inactiveWindowShowsThePlainInactiveBand()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        QVERIFY(ShowActive(form));
        QWidget other; // takes the activation away from the window
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_VERIFY(!form.RxGradientCaption1->WindowActive());
        const QImage image = form.RenderWindow();
        for (int x = 0; x < bandWidth; ++x) {
            QCOMPARE(image.pixel(bandAt + QPoint(x, 0)), Rgb(clInactiveCaption));
            QCOMPARE(image.pixel(bandAt + QPoint(x, bandHeight - 1)), Rgb(clInactiveCaption));
        }
        // The title is there, in the inactive text colour and nothing
        // brighter.
        const auto [first, last] = InkedColumns(image, [](QRgb p) { return p == Rgb(clInactiveCaptionText); });
        QVERIFY(first >= 20 && last > first + 100);
        const auto bright = InkedColumns(image, [](QRgb p) { return qRed(p) > qRed(Rgb(clInactiveCaptionText)); });
        QCOMPARE(bright.first, -1);
        if (const QByteArray dir = qgetenv("DARVOLT_RENDER_DIR"); !dir.isEmpty())
            image.save(QString::fromLocal8Bit(dir) + QStringLiteral("/tform4-inactive.png"));

        // Active again: the ramp comes back.
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_VERIFY(form.RxGradientCaption1->WindowActive());
        QCOMPARE(form.RenderWindow().pixel(bandAt), qRgb(0, 0, 28));
    }

    void switchedOffTheCaptionLeavesThePlainBand()
    {
        TForm4 form(&platform);
        form.SetArguments({});
        QVERIFY(ShowActive(form));
        form.RxGradientCaption1->setActive(false);
        const QImage image = form.RenderWindow();
        for (int x = 0; x < bandWidth; ++x)
            QCOMPARE(image.pixel(bandAt + QPoint(x, 0)), Rgb(clActiveCaption));
        form.RxGradientCaption1->setActive(true);
        QCOMPARE(form.RenderWindow().pixel(bandAt), qRgb(0, 0, 28));
    }
};

DARVOLT_APP_TEST_MAIN(tst_Form4Caption)
#include "tst_form4caption.moc"
