#pragma once

#include <QCursor>

// The application's cursor table: extra cursors are entered once at start-up
// under fixed numbers and looked up by number later, so a layout can name a
// cursor by its id. Ids not in the table give the ordinary arrow.

using TCursor = int;

inline constexpr TCursor crDefault = 0;

void RegisterCursor(TCursor id, const QCursor &cursor);
bool HasCursor(TCursor id);
QCursor CursorById(TCursor id);

// A two-colour cursor from a picture drawn in text: '#' black, '.' white,
// anything else transparent. Rows shorter than the size are padded.
QCursor CursorFromArt(const char *const rows[], int rowCount, QPoint hotSpot, int size = 32);
