#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// The program's banner: an animated advertisement for Ombrix, 393 x 40,
// 44 frames. Everything here is deterministic: the same build gives the
// same bytes, which a test compares with the committed resource.

// The full picture of each of the 44 frames as the animation shows it.
QList<QImage> BannerPictures();

// The GIF89a stream of the banner.
QByteArray BannerGif();

// The stored form: a 32-bit little-endian byte count, then the GIF.
QByteArray BannerStoredForm();

// Frame delays in hundredths of a second.
QList<int> BannerDelays();
