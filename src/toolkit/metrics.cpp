#include "toolkit/metrics.h"

#include "toolkit/fonts.h"

#include <array>
#include <utility>

namespace darvolt {

namespace {

// Caption heights include the one-pixel line under the title band; button
// sizes are the cells the buttons sit in, two pixels wider and four higher
// than the drawn buttons.
constexpr std::array<std::pair<int, int>, 18> metricTable{{
    {SM_CYCAPTION, 19},
    {SM_CXBORDER, 1},
    {SM_CYBORDER, 1},
    {SM_CXDLGFRAME, 3},
    {SM_CYDLGFRAME, 3},
    {SM_CXICON, 32},
    {SM_CYICON, 32},
    {SM_CXSIZE, 18},
    {SM_CYSIZE, 18},
    {SM_CXFRAME, 4},
    {SM_CYFRAME, 4},
    {SM_CXEDGE, 2},
    {SM_CYEDGE, 2},
    {SM_CXSMICON, 16},
    {SM_CYSMICON, 16},
    {SM_CYSMCAPTION, 16},
    {SM_CXSMSIZE, 12},
    {SM_CYSMSIZE, 15},
}};

} // namespace

int GetSystemMetrics(int index)
{
    for (const auto &[key, value] : metricTable)
        if (key == index)
            return value;
    return 0;
}

TNonClientMetrics GetNonClientMetrics()
{
    // The classic title face, bold at 8 points (11 pixels), through the
    // substitution that maps it onto an installed font.
    const QString face = QStringLiteral("MS Sans Serif");
    return {LayoutFont(face, 11, true), LayoutFont(face, 11, true)};
}

} // namespace darvolt
