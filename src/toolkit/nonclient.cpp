#include "toolkit/nonclient.h"

#include "toolkit/metrics.h"

namespace darvolt {

using namespace messages;

TBorderIcons EffectiveBorderIcons(TFormBorderStyle style, TBorderIcons icons)
{
    switch (style) {
    case bsDialog:
        return icons & (biSystemMenu | biHelp);
    case bsToolWindow:
    case bsSizeToolWin:
        return icons & biSystemMenu;
    default:
        if (!(icons & biSystemMenu))
            icons &= ~TBorderIcons(biMinimize | biMaximize);
        if (icons & (biMinimize | biMaximize))
            icons &= ~TBorderIcons(biHelp);
        return icons;
    }
}

int CaptionButtonCount(TFormBorderStyle style, TBorderIcons icons)
{
    const TBorderIcons shown = EffectiveBorderIcons(style, icons);
    int count = 0;
    for (const TBorderIcon icon : {biSystemMenu, biMinimize, biMaximize, biHelp})
        if (shown & icon)
            ++count;
    if (shown.testFlag(biMinimize) != shown.testFlag(biMaximize))
        ++count;
    return count;
}

QMargins FrameMargins(TFormBorderStyle style)
{
    switch (style) {
    case bsNone:
        return {};
    case bsSizeable:
    case bsSizeToolWin: {
        const int x = GetSystemMetrics(SM_CXFRAME), y = GetSystemMetrics(SM_CYFRAME);
        return {x, y, x, y};
    }
    default: {
        const int x = GetSystemMetrics(SM_CXDLGFRAME), y = GetSystemMetrics(SM_CYDLGFRAME);
        return {x, y, x, y};
    }
    }
}

int CaptionHeight(TFormBorderStyle style)
{
    if (style == bsNone)
        return 0;
    return GetSystemMetrics(IsToolWindow(style) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

QMargins NonClientMargins(TFormBorderStyle style)
{
    return FrameMargins(style) + QMargins(0, CaptionHeight(style), 0, 0);
}

QRect CaptionRect(const QRect &windowRect, TFormBorderStyle style, TBorderIcons icons)
{
    const int buttons = CaptionButtonCount(style, icons);
    // Right and bottom edges exclusive, as the classic rectangles are kept.
    int left = windowRect.left(), top = windowRect.top();
    int right = windowRect.left() + windowRect.width();
    const QMargins frame = FrameMargins(style);
    left += frame.left();
    top += frame.top();
    right -= frame.right();
    int bottom = top + CaptionHeight(style) - 1;
    if (IsToolWindow(style))
        right -= buttons * GetSystemMetrics(SM_CXSMSIZE);
    else
        right -= buttons * GetSystemMetrics(SM_CXSIZE);
    if (style == bsNone)
        bottom = top; // no band at all
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

TNonClientLayout NonClientLayout(QSize windowSize, TFormBorderStyle style, TBorderIcons icons)
{
    TNonClientLayout l;
    l.style = style;
    l.icons = EffectiveBorderIcons(style, icons);
    l.window = QRect(QPoint(0, 0), windowSize);
    l.client = l.window.marginsRemoved(NonClientMargins(style));
    if (style == bsNone)
        return l;

    const QMargins frame = FrameMargins(style);
    const int rowHeight = CaptionHeight(style) - 1;
    l.captionRow = QRect(frame.left(), frame.top(), windowSize.width() - frame.left() - frame.right(),
                         rowHeight);
    l.band = CaptionRect(l.window, style, icons);

    // Buttons from the right: close, a gap of two pixels, then maximise and
    // minimise side by side (or help).
    const bool tool = IsToolWindow(style);
    const int cell = GetSystemMetrics(tool ? SM_CXSMSIZE : SM_CXSIZE);
    const QSize button(cell - 2, rowHeight - 4);
    const int top = l.captionRow.top() + 2;
    int right = l.captionRow.left() + l.captionRow.width() - 2;
    if (l.icons & biSystemMenu) {
        l.closeButton = QRect(QPoint(right - button.width(), top), button);
        right = l.closeButton.left() - 2;
    }
    if (l.icons & (biMinimize | biMaximize)) {
        l.maxButton = QRect(QPoint(right - button.width(), top), button);
        l.minButton = l.maxButton.translated(-button.width(), 0);
        l.minEnabled = l.icons.testFlag(biMinimize);
        l.maxEnabled = l.icons.testFlag(biMaximize);
    } else if (l.icons & biHelp) {
        l.helpButton = QRect(QPoint(right - button.width(), top), button);
    }

    const int h = l.band.height();
    int textLeft = l.band.left();
    if ((l.icons & biSystemMenu) && (style == bsSingle || style == bsSizeable)) {
        const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
        l.icon = QRect(l.band.left() + 1 + (h - cx) / 2, l.band.top() + (h - cy) / 2, cx, cy);
        textLeft += h;
    }
    l.textArea = QRect(QPoint(textLeft + 2, l.band.top()), l.band.bottomRight());
    return l;
}

QRect ButtonRect(const TNonClientLayout &layout, LRESULT hit)
{
    switch (hit) {
    case HTMINBUTTON:
        return layout.minButton;
    case HTMAXBUTTON:
        return layout.maxButton;
    case HTCLOSE:
        return layout.closeButton;
    case HTHELP:
        return layout.helpButton;
    default:
        return {};
    }
}

bool ButtonEnabled(const TNonClientLayout &layout, LRESULT hit)
{
    switch (hit) {
    case HTMINBUTTON:
        return layout.minEnabled;
    case HTMAXBUTTON:
        return layout.maxEnabled;
    case HTCLOSE:
    case HTHELP:
        return !ButtonRect(layout, hit).isEmpty();
    default:
        return false;
    }
}

namespace {

LRESULT sizingHit(const TNonClientLayout &l, QPoint pos)
{
    // Corners reach along the edges as far as a title band is high, so that
    // they are easy to catch.
    const QMargins frame = FrameMargins(l.style);
    const int grip = CaptionHeight(l.style);
    const bool left = pos.x() < frame.left(), right = pos.x() >= l.window.width() - frame.right();
    const bool top = pos.y() < frame.top(), bottom = pos.y() >= l.window.height() - frame.bottom();
    const bool nearLeft = pos.x() < grip, nearRight = pos.x() >= l.window.width() - grip;
    const bool nearTop = pos.y() < grip, nearBottom = pos.y() >= l.window.height() - grip;
    if ((top && nearLeft) || (left && nearTop))
        return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop))
        return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom))
        return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom))
        return HTBOTTOMRIGHT;
    if (left)
        return HTLEFT;
    if (right)
        return HTRIGHT;
    if (top)
        return HTTOP;
    if (bottom)
        return HTBOTTOM;
    return HTNOWHERE;
}

} // namespace

LRESULT NonClientHitTest(const TNonClientLayout &layout, QPoint pos)
{
    if (!layout.window.contains(pos))
        return HTNOWHERE;
    if (layout.client.contains(pos))
        return HTCLIENT;
    if (IsSizeable(layout.style))
        if (const LRESULT edge = sizingHit(layout, pos); edge != HTNOWHERE)
            return edge;
    for (const LRESULT button : {HTCLOSE, HTMAXBUTTON, HTMINBUTTON, HTHELP})
        if (ButtonRect(layout, button).contains(pos))
            return button;
    if (layout.icon.contains(pos))
        return HTSYSMENU;
    if (layout.captionRow.contains(pos))
        return HTCAPTION;
    return HTBORDER;
}

} // namespace darvolt
