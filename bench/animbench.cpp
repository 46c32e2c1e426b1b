// What one paint of the banner costs: the animator composes the shown frame
// from the start (ComposeFrame) and stretches it into its 385 x 36 area on
// every paint. Prints the median, 90th percentile and worst time per paint
// over every frame of the banner, for the banner's own settings (stretched,
// opaque) and for a transparent animator that also has to paint what lies
// behind it. Target for the banner: a median under 1 ms.
//
//   animbench [--rounds N] [STORED_BANNER_FILE]
//
// Runs headless (offscreen platform unless QT_QPA_PLATFORM says otherwise).
// The idle cost of the running program is measured with the main window.

#include "gif/composeframe.h"
#include "gif/gifimage.h"
#include "widgets/gifanimator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace darvolt;

namespace {

struct Figures
{
    double median = 0;
    double p90 = 0;
    double worst = 0;
};

// Times `paint(frame)` for every frame, `rounds` times over, after one pass
// that decodes and caches every frame.
Figures Measure(TRxGIFAnimator &animator, int rounds, const std::function<void()> &paint)
{
    const int frames = animator.Image().FrameCount();
    for (int f = 0; f < frames; ++f) {
        animator.setFrameIndex(f);
        paint();
    }
    std::vector<double> times;
    QElapsedTimer clock;
    for (int r = 0; r < rounds; ++r) {
        for (int f = 0; f < frames; ++f) {
            animator.setFrameIndex(f);
            clock.start();
            paint();
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 9 / 10], times.back()};
}

void Print(const char *what, const Figures &f)
{
    std::printf("%-44s median %.3f ms   p90 %.3f ms   worst %.3f ms\n", what, f.median, f.p90, f.worst);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int rounds = 50;
    QString banner = QStringLiteral(DARVOLT_BANNER_FILE);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            banner = QString::fromLocal8Bit(argv[i]);
    }

    QWidget panel;
    panel.resize(391, 42);
    auto *animator = new TRxGIFAnimator(&panel);
    animator->setGeometry(3, 3, 385, 36);
    try {
        animator->LoadImageResource(banner);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "animbench: %s\n", e.what());
        return 1;
    }
    animator->setStretch(true);
    animator->setTransparent(false);

    TGIFImage &image = animator->Image();
    std::printf("banner: %d frames, %d x %d, stretched into %d x %d, %d rounds\n", image.FrameCount(),
                image.LogicalWidth(), image.LogicalHeight(), animator->width(), animator->height(), rounds);

    Print("compose only (ComposeFrame)", Measure(*animator, rounds, [&] {
              ComposeFrame(image, animator->FrameIndex());
          }));
    const Figures bannerPaint = Measure(*animator, rounds, [&] { animator->RenderPicture(); });
    Print("banner paint (compose + stretch)", bannerPaint);

    QImage surface(animator->size(), QImage::Format_ARGB32_Premultiplied);
    Print("banner paint onto a window surface", Measure(*animator, rounds, [&] {
              QPainter painter(&surface);
              painter.drawImage(0, 0, animator->RenderPicture());
          }));

    animator->setTransparent(true);
    animator->setStretch(false);
    Print("transparent, unstretched, parent behind", Measure(*animator, rounds, [&] {
              animator->RenderPicture();
          }));

    std::printf("target: banner paint median under 1 ms: %s\n", bannerPaint.median < 1.0 ? "met" : "NOT met");
    return 0;
}
