#pragma once

#include "graphics/colors.h"

#include <QImage>
#include <QPoint>
#include <QRect>

class QPainter;

namespace darvolt {

// Stretches sourceRect of the bitmap into destRect, leaving out every pixel
// whose colour is exactly `key`. An empty destRect size means the bitmap's
// own size; an empty sourceRect means the whole bitmap. With key clNone the
// bitmap is simply stretched. Scaling picks the nearest pixel, as a blit of
// palette pictures should.
void KeyedStretch(QPainter &painter, const QRect &destRect, const QImage &source,
                  const QRect &sourceRect, TColor key);

// The unscaled case on a 32-bit canvas, as ComposeFrame draws frames: the
// bitmap at `at`, clipped to the canvas, key-coloured pixels left out.
void DrawKeyed(QImage &canvas, QPoint at, const QImage &source, TColor key);

} // namespace darvolt
