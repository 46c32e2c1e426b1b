#pragma once

#include "graphics/colors.h"

#include <QImage>
#include <QRect>
#include <QRegion>

class QPainter;

namespace darvolt {

// The embossed look of a disabled picture: a new image of the same size,
// filled with the back colour, where every pixel of the source that is exactly
// the mask colour is painted in the highlight colour one pixel right and down,
// then in the shadow colour in place. Everything else vanishes.
QImage MakeDisabledImage(const QImage &source, TColor maskColor = clBlack,
                         TColor backColor = clBtnFace, bool drawHighlight = true,
                         TColor highlightColor = clBtnHighlight,
                         TColor shadowColor = clBtnShadow);

// A copy of the image in which every pixel of the transparent colour has
// alpha 0, ready to be drawn over anything.
QImage MaskedImage(const QImage &source, QRgb transparent);

// Draws the image at the point with every pixel of the transparent colour
// left out.
void DrawMasked(QPainter &painter, QPoint at, const QImage &image, QRgb transparent);

// The one-pixel 3-D frame on the outer ring of r: left and top edges in the
// top colour, right and bottom edges in the bottom colour, so the top-right
// and bottom-left corner pixels take the bottom colour. Returns r shrunk by
// one pixel on each side.
QRect Frame3D(QPainter &painter, const QRect &r, const QColor &top, const QColor &bottom);

// A vertical or horizontal line of single pixels from `from` towards `to`,
// the end pixel left out, as the classic line drawing does.
void DrawLine(QPainter &painter, QPoint from, QPoint to, const QColor &color);

// The pixel-exact colour of a plain fill.
void FillSolid(QPainter &painter, const QRect &r, const QColor &color);

// Copies the parts of an opaque image that lie in `region` to the same
// places on the painter, one rectangle at a time. A copy clipped to the
// whole region at once goes through the raster engine's general span
// filler, which hands large areas to worker threads and waits for them:
// on a busy machine that wait, not the copy, is what the user sees.
void CopyImageRegion(QPainter &painter, const QRegion &region, const QImage &image);

} // namespace darvolt
