#pragma once

#include <QImage>
#include <QStyle>

namespace darvolt {

// The message dialogs' icons as the classic desktop drew them, painted here
// so that they look the same whatever icon theme the desktop has: for an
// error a red disc with a white cross, for information a white speech
// bubble with a blue "i", each with a grey shadow below and to the right.
// The picture is square, extent pixels a side; any other kind gives a null
// image.
QImage MessageIcon(QStyle::StandardPixmap kind, int extent);

} // namespace darvolt
