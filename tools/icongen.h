#pragma once

#include <QImage>

// The program's desktop icon: a page cut in two along a red line, its lower
// half moved aside, and a diskette in front. It is drawn afresh for every
// size on a grid of 32 units whose edges land on whole pixels, so that small
// sizes stay sharp instead of being a blurred copy of a big picture.
QImage DrawDarvoltIcon(int size);
