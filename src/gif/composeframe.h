#pragma once

#include "graphics/colors.h"

#include <QImage>

namespace darvolt {

class TGIFImage;

// The picture of frame `frameIndex` as an animation shows it: a new 32-bit
// bitmap of the image's logical size, filled with the brush colour, on
// which the frames from the last full-screen "restore to background" frame
// up to frameIndex are drawn according to their disposal methods.
//
// The brush is the key colour of the image's ActiveFrame when it has one
// (that colour is then handed back in usedKey, so that a transparent player
// can leave it out), else the background colour when the image is
// transparent, else clWindow. usedKey is clNone otherwise. An index beyond
// the last frame composes the last frame; a negative one draws no frame.
// Frames drawn are decoded and cached; the canvas counts against the
// image's budget of held pixels while they are (see TGIFImage::PixelBudget).
// Raises EInvalidGraphicOperation when the logical screen exceeds 64
// megapixels or the budget, and passes on frame errors.
QImage ComposeFrame(TGIFImage &image, int frameIndex, TColor *usedKey = nullptr);

} // namespace darvolt
