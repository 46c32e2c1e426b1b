// The title band of the real program under a Wayland compositor (weston's
// headless backend, with a pointer module of ours, since that backend has no
// input of its own): the window maps and paints its band, a press on the band
// that moves makes the compositor move the window with the pointer, and the
// minimise box asks the compositor to minimise. What the compositor receives
// is read from its protocol log, where the window lies from its scene graph.
#include "desktopsession.h"

#include "graphics/colors.h"
#include "toolkit/nonclient.h"

#include <QTest>

using namespace darvolt;

namespace {

const QString mainTitle = QStringLiteral("Darvolt - The File Splitter");

TNonClientLayout mainLayout(QSize size)
{
    return NonClientLayout(size, bsSingle, biSystemMenu | biMinimize);
}

QByteArray motion(QPoint to)
{
    return "motion " + QByteArray::number(to.x()) + ' ' + QByteArray::number(to.y());
}

// The active band: a ramp from a dark start into the active caption colour,
// with the title in the caption text colour over it.
bool bandPainted(const QImage &screen, QPoint windowCorner, const TNonClientLayout &layout)
{
    if (screen.isNull())
        return false;
    const QRect band = layout.band.translated(windowCorner);
    const QRgb start = screen.pixel(band.left(), band.bottom());
    const QRgb end = screen.pixel(band.right(), band.bottom());
    if (end != ColorToRGB(clActiveCaption).rgb() || qGray(start) >= qGray(end))
        return false;
    const QRect text = layout.textArea.translated(windowCorner);
    const QRgb textColour = ColorToRGB(clCaptionText).rgb();
    for (int y = text.top(); y <= text.bottom(); ++y)
        for (int x = text.left(); x <= text.right(); ++x)
            if (screen.pixel(x, y) == textColour)
                return true;
    return false;
}

} // namespace

class TestTitleBandWayland : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bandUnderWeston()
    {
        WestonSession weston(QStringLiteral(WESTON_POINTER_MODULE));
        QVERIFY2(weston.Started(), "weston did not start (tools/setup-deps.sh test installs weston and "
                                   "libweston-10-dev, which the pointer module is built with)");
        TestChild darvolt(QStringLiteral(DARVOLT_PROGRAM), {}, weston.Environment());
        QVERIFY(darvolt.Started());

        std::optional<QRect> place;
        QTRY_VERIFY_WITH_TIMEOUT((place = weston.WindowPlace(mainTitle)).has_value(), 10000);
        const TNonClientLayout layout = mainLayout(place->size());
        QTRY_VERIFY_WITH_TIMEOUT(bandPainted(weston.Screenshot(), place->topLeft(), layout), 10000);

        // Pressed and moved, the band asks the compositor to move the
        // window with the pointer, from where the button went down.
        const QPoint grab = place->topLeft() + layout.band.center();
        const QPoint drag(60, 40);
        weston.Pointer(motion(grab));
        weston.Pointer("press");
        weston.Pointer(motion(grab + QPoint(1, 0)));
        QTRY_VERIFY_WITH_TIMEOUT(weston.Requests().contains(QLatin1String(".move(wl_seat@")), 5000);
        weston.Pointer(motion(grab + drag));
        weston.Pointer("release");
        QTRY_COMPARE_WITH_TIMEOUT(weston.WindowPlace(mainTitle), std::optional(place->translated(drag)), 5000);

        QVERIFY(!weston.Requests().contains(QLatin1String(".set_minimized(")));
        const QPoint minimise = place->topLeft() + drag + layout.minButton.center();
        weston.Pointer(motion(minimise));
        weston.Pointer("press");
        weston.Pointer("release");
        QTRY_VERIFY_WITH_TIMEOUT(weston.Requests().contains(QLatin1String(".set_minimized()")), 5000);
        QVERIFY(darvolt.Running());
    }
};

QTEST_GUILESS_MAIN(TestTitleBandWayland)
#include "tst_titlebandwayland.moc"
