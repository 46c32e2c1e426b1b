#pragma once

#include <QCursor>

#include <functional>

namespace darvolt {

// The application's cursor table: extra cursors are entered once at start-up
// under fixed numbers and looked up by number later, so a layout can name a
// cursor by its id. Ids not in the table give the ordinary arrow.

using TCursor = int;

inline constexpr TCursor crDefault = 0;

void RegisterCursor(TCursor id, const QCursor &cursor);
// Enters a cursor that is made the first time it is looked up: making a
// cursor from a picture takes longer than anything else in the table, and
// most of them are not wanted before the first window is on the screen.
void RegisterCursor(TCursor id, std::function<QCursor()> make);
bool HasCursor(TCursor id);
QCursor CursorById(TCursor id);

// A two-colour cursor from a picture drawn in text: '#' black, '.' white,
// anything else transparent. Rows shorter than the size are padded.
QCursor CursorFromArt(const char *const rows[], int rowCount, QPoint hotSpot, int size = 32);

} // namespace darvolt
