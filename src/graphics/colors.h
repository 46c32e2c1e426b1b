#pragma once

#include <QColor>
#include <cstdint>

namespace darvolt {

// Colours are stored the way the window layouts and stored settings expect
// them: 0x00BBGGRR for a plain colour, or 0x80000000 + n for system colour n,
// which is resolved only when drawn so that every widget follows one table.
using TColor = std::uint32_t;

inline constexpr TColor clSystemColor = 0x80000000u;

inline constexpr TColor clScrollBar = clSystemColor + 0;
inline constexpr TColor clBackground = clSystemColor + 1;
inline constexpr TColor clActiveCaption = clSystemColor + 2;
inline constexpr TColor clInactiveCaption = clSystemColor + 3;
inline constexpr TColor clMenu = clSystemColor + 4;
inline constexpr TColor clWindow = clSystemColor + 5;
inline constexpr TColor clWindowFrame = clSystemColor + 6;
inline constexpr TColor clMenuText = clSystemColor + 7;
inline constexpr TColor clWindowText = clSystemColor + 8;
inline constexpr TColor clCaptionText = clSystemColor + 9;
inline constexpr TColor clActiveBorder = clSystemColor + 10;
inline constexpr TColor clInactiveBorder = clSystemColor + 11;
inline constexpr TColor clAppWorkSpace = clSystemColor + 12;
inline constexpr TColor clHighlight = clSystemColor + 13;
inline constexpr TColor clHighlightText = clSystemColor + 14;
inline constexpr TColor clBtnFace = clSystemColor + 15;
inline constexpr TColor clBtnShadow = clSystemColor + 16;
inline constexpr TColor clGrayText = clSystemColor + 17;
inline constexpr TColor clBtnText = clSystemColor + 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor + 19;
inline constexpr TColor clBtnHighlight = clSystemColor + 20;
inline constexpr TColor cl3DDkShadow = clSystemColor + 21;
inline constexpr TColor cl3DLight = clSystemColor + 22;
inline constexpr TColor clInfoText = clSystemColor + 23;
inline constexpr TColor clInfoBk = clSystemColor + 24;
inline constexpr TColor clHotLight = clSystemColor + 26;
inline constexpr TColor clGradientActiveCaption = clSystemColor + 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor + 28;
inline constexpr TColor clMenuHighlight = clSystemColor + 29;
inline constexpr TColor clMenuBar = clSystemColor + 30;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// Number of entries in the system colour table (0..30).
inline constexpr int SystemColorCount = 31;

// Resolves a system colour through the fixed classic table; plain colours
// are decoded from 0x00BBGGRR. clNone and clDefault have no colour of their
// own and give a transparent QColor; an unknown system index gives black.
QColor ColorToRGB(TColor color);

// The plain (never system) TColor for a QColor; alpha is dropped.
TColor RGBToColor(const QColor &color);

// True for 0x80000000 + n.
constexpr bool IsSystemColor(TColor color)
{
    return (color & 0xFF000000u) == clSystemColor;
}

// Plain 0x00BBGGRR from components, as the colour literals are written.
constexpr TColor RGBColor(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

} // namespace darvolt
