#pragma once

#include "toolkit/cursors.h"

#include <QString>

#include <functional>

namespace darvolt {

// Cursor ids of the link widgets' hand cursors.
inline constexpr TCursor crHandPoint = 15000;
inline constexpr TCursor crSmallHandPoint = 15001;
inline constexpr TCursor crGrabHand = 15002;
inline constexpr TCursor crGrabHandArrow = 15003;
inline constexpr TCursor crDragHand = 15004;

// Enters the five hand cursors in the cursor table. The program calls it once
// at start-up; further calls change nothing.
void RegisterProUrlCursors();

// Hands a link (a web address, "mailto:" address or path) to the desktop,
// which picks the program by its scheme. Empty text does nothing; the
// desktop's answer is not examined.
void OpenLink(const QString &link);

// The one route to the desktop's link handler. Tests replace it to see which
// links would open, without starting a browser.
using LinkOpenerFn = std::function<void(const QString &link)>;
LinkOpenerFn &LinkOpener();

} // namespace darvolt
