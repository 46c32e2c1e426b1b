#pragma once

#include <Qt>

namespace darvolt {

// Key combinations stored the classic way: low byte the virtual-key code,
// Shift 0x2000, Ctrl 0x4000, Alt 0x8000 (so Alt+Down is 0x8028).
using TShortCut = int;

inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// The stored form of a Qt key with modifiers; 0 for keys without a
// virtual-key code.
TShortCut ShortCutOf(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace darvolt
