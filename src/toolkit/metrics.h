#pragma once

#include <QFont>

namespace darvolt {

// The classic system metrics (96 dots per inch, standard scheme), kept in one
// table so that the drawn window frames, the title bands and the widgets that
// measure them agree to the pixel.
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CXSIZE = 30;
inline constexpr int SM_CYSIZE = 31;
inline constexpr int SM_CXFRAME = 32;
inline constexpr int SM_CYFRAME = 33;
inline constexpr int SM_CXEDGE = 45;
inline constexpr int SM_CYEDGE = 46;
inline constexpr int SM_CXSMICON = 49;
inline constexpr int SM_CYSMICON = 50;
inline constexpr int SM_CYSMCAPTION = 51;
inline constexpr int SM_CXSMSIZE = 52;
inline constexpr int SM_CYSMSIZE = 53;

// The value of one metric; 0 for one the table does not hold.
int GetSystemMetrics(int index);

// The fonts of the non-client area: the title font of ordinary windows and
// the smaller one of tool windows, both in the caption text colour when drawn.
struct TNonClientMetrics
{
    QFont CaptionFont;
    QFont SmallCaptionFont;
};

TNonClientMetrics GetNonClientMetrics();

} // namespace darvolt
