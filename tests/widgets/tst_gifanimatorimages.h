#pragma once

#include "widgets/gifanimator.h"
#include "gif/gifimage.h"

#include <QFile>
#include <QImage>

#include <initializer_list>
#include <memory>

// Pictures for the animator tests.
namespace animtest {

using namespace darvolt;

inline constexpr TColor Key = RGBColor(255, 0, 255);

inline QRgb FrameColor(int index)
{
    static const QRgb colors[] = {qRgb(200, 0, 0), qRgb(0, 160, 0), qRgb(0, 0, 220), qRgb(90, 90, 0)};
    return colors[index % 4];
}

// One frame per delay, each 8 x 4 in its own colour, placed over the whole
// screen. With `keyed`, the left half of every frame is the key colour and
// each frame has that key. Frame 0 is the active frame.
inline std::unique_ptr<TGIFImage> MakeImage(std::initializer_list<int> delays, bool keyed = false)
{
    auto image = std::make_unique<TGIFImage>();
    int index = 0;
    for (const int delay : delays) {
        QImage bitmap(8, 4, QImage::Format_RGB32);
        bitmap.fill(FrameColor(index));
        if (keyed) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    bitmap.setPixel(x, y, ColorToRGB(Key).rgb());
        }
        TGIFFrame &frame = image->AddFrame(bitmap);
        frame.DelayMs = std::uint16_t(delay);
        frame.Disposal = 1;
        if (keyed)
            frame.KeyColor = Key;
        ++index;
    }
    image->ActiveFrame = image->FrameCount() > 0 ? 0 : -1;
    return image;
}

// The program's banner (393 x 40, 44 frames) in its stored form, from the
// test's resources.
inline constexpr const char *BannerResource = ":/banner.gifdata";

inline void LoadBanner(TRxGIFAnimator &animator)
{
    animator.LoadImageResource(QString::fromLatin1(BannerResource));
}

} // namespace animtest
