#include "composeframe.h"

#include "giferrors.h"
#include "gifimage.h"
#include "keyedstretch.h"

#include <algorithm>

namespace darvolt {

namespace {

void FillRect(QImage &canvas, const QRect &rect, QRgb color)
{
    const QRect area = rect & canvas.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(canvas.scanLine(y));
        std::fill(line + area.left(), line + area.right() + 1, color);
    }
}

void DrawFrame(QImage &canvas, TGIFFrame &frame)
{
    DrawKeyed(canvas, QPoint(frame.FrameLeft, frame.FrameTop), frame.Bitmap(), frame.KeyColor);
}

} // namespace

QImage ComposeFrame(TGIFImage &image, int frameIndex, TColor *usedKey)
{
    const int width = image.LogicalWidth();
    const int height = image.LogicalHeight();
    if (qint64(width) * height > GifMessages::MaxPixels)
        throw EInvalidGraphicOperation(GifMessages::TooLargeText("logical screen", width, height));

    TColor key = clNone;
    TColor brush = clWindow;
    const TGIFFrame *active = image.Frame(image.ActiveFrame);
    if (active && active->KeyColor != clNone) {
        // On a true-colour canvas the nearest colour is the colour itself.
        key = RGBToColor(ColorToRGB(active->KeyColor));
        brush = key;
    } else if (image.BackColor != clNone && image.Transparent()) {
        brush = image.BackColor;
    }
    if (usedKey)
        *usedKey = key;
    const QRgb brushRgb = ColorToRGB(brush).rgb() | 0xFF000000u;

    QImage canvas;
    TGIFImage::PixelHold screen; // frames decoded on the way must fit beside the canvas
    if (width > 0 && height > 0) {
        screen = image.HoldPixels(qint64(width) * height * 4, "logical screen", width, height);
        canvas = QImage(width, height, QImage::Format_RGB32);
        canvas.fill(brushRgb);
    }
    const int last = std::min(frameIndex, image.FrameCount() - 1);
    if (last < 0 || canvas.isNull())
        return canvas;

    // Everything before a full-screen frame that is restored to the
    // background is gone by the time `last` shows.
    int start = 0;
    for (int i = last - 1; i >= 1; --i) {
        const TGIFFrame &frame = *image.Frame(i);
        if (frame.Disposal == 2 && frame.Width() == width && frame.Height() == height) {
            start = i;
            break;
        }
    }
    for (int j = start; j < last; ++j) {
        TGIFFrame &frame = *image.Frame(j);
        if (frame.Disposal == 0 || frame.Disposal == 1)
            DrawFrame(canvas, frame);
        else if (frame.Disposal == 2 && j > start)
            FillRect(canvas, QRect(frame.FrameLeft, frame.FrameTop, frame.Width(), frame.Height()), brushRgb);
    }
    DrawFrame(canvas, *image.Frame(last));
    return canvas;
}

} // namespace darvolt
