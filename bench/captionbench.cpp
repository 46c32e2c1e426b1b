// Prints how long the title band takes to paint, so that a slow change to
// the ramp, the text fitting or the hook chain shows up as a number.
//
//     captionbench [rounds]      (offscreen unless QT_QPA_PLATFORM says otherwise)
#include "toolkit/fonts.h"
#include "toolkit/form.h"
#include "widgets/gradientcaption.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace darvolt;
using namespace darvolt::messages;

namespace {

void measure(const char *what, int rounds, const std::function<void()> &work)
{
    work(); // warm the font and icon caches
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        work();
    const double us = double(timer.nsecsElapsed()) / 1000.0 / rounds;
    std::printf("%-52s %9.1f us\n", what, us);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallFontSubstitutes();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    TForm form;
    form.setBorderStyle(bsSingle);
    form.setBorderIcons(biSystemMenu | biMinimize);
    form.setClientSize({390, 256});
    form.setCaption(QStringLiteral("Darvolt - The File Splitter"));
    form.show();
    const QRegion whole(form.WindowRect());

    std::printf("title band of a 390 x 256 window, %d rounds\n", rounds);
    measure("plain frame and band (WM_NCPAINT, whole window)", rounds,
            [&] { form.Deliver(WM_NCPAINT, RegionParam(&whole)); });

    auto *caption = new TRxGradientCaption(&form);
    caption->setFormCaption(QStringLiteral("Darvolt - The File Splitter"));
    form.Deliver(WM_NCACTIVATE, 1);
    measure("gradient band alone (CaptionImage)", rounds, [&] { (void)caption->CaptionImage(); });
    measure("frame + gradient band through the hook", rounds,
            [&] { form.Deliver(WM_NCPAINT, RegionParam(&whole)); });
    measure("activation change (WM_NCACTIVATE)", rounds, [&] { form.Deliver(WM_NCACTIVATE, 1); });

    caption->setFormCaption(QString(2000, QLatin1Char('W')));
    measure("band with a 2000-character caption to shorten", std::max(1, rounds / 20),
            [&] { (void)caption->CaptionImage(); });
    return 0;
}
