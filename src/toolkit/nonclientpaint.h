#pragma once

#include "toolkit/nonclient.h"

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;

namespace darvolt {

// What the plain non-client area shows besides its geometry.
struct TNonClientState
{
    bool active = false;  // drawn in the active caption colours
    QString caption;
    QPixmap smallIcon;    // SM_CXSMICON x SM_CYSMICON
    messages::LRESULT pressed = messages::HTNOWHERE;  // the button held down under the pointer
    bool maximized = false;       // the maximise box shows "restore"
};

// The frame, the title band and the buttons, as the window draws them when
// nobody draws the band for it: the band in the plain active or inactive
// caption colour, the small icon, the title in the caption text colour,
// shortened with "..." when it does not fit. Only the non-client area is
// touched.
void PaintNonClient(QPainter &painter, const TNonClientLayout &layout, const TNonClientState &state);

// The title row alone (band and buttons), as drawn when only the activation
// changes.
void PaintCaptionRow(QPainter &painter, const TNonClientLayout &layout, const TNonClientState &state);

// One title-bar button with its glyph; `hit` is HTCLOSE, HTMINBUTTON,
// HTMAXBUTTON or HTHELP.
void DrawCaptionButton(QPainter &painter, const QRect &r, messages::LRESULT hit, bool pressed, bool enabled,
                       bool maximized = false);

// The small icon a window shows: its own icon, else the application's, else
// the system's generic application icon.
QPixmap SmallIconFor(const QIcon &ownIcon);

// The system's generic application icon at small-icon size.
QPixmap SystemApplicationIcon();

} // namespace darvolt
