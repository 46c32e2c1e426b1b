#pragma once

#include <QImage>

namespace darvolt {

// The pictures of the edit button's built-in glyph kinds.

// The browse glyph: a 14 x 12 open folder with a curved arrow over it, in
// black, white and grey on magenta (the bottom-left colour, transparent when
// drawn). Made on first use and shared by every file-name edit.
const QImage &DefaultEditGlyph();

// The drop-down arrow of a combo box, on a background of its own bottom-left
// colour.
QImage DropDownGlyph();

// Three 2 x 2 black dots, max(1, buttonWidth - 6) wide and 4 high, white
// elsewhere.
QImage EllipsisGlyph(int buttonWidth);

// The width of a vertical scroll bar, which a drop-down button takes.
inline constexpr int ScrollBarWidth = 16;

} // namespace darvolt
