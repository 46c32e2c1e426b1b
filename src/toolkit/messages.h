#pragma once

#include <QPoint>

#include <cstdint>

class QRegion;

namespace darvolt::messages {

// The window messages of our windows. Forms turn Qt's events into these and
// send them through their window-procedure chain (wndproc.h), so that a
// component can watch or replace what a window does with them, the way the
// widgets were designed to work. Parameters are pointer-sized so that a
// region or an object can travel in them.
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// One message as a window procedure and the hooks see it. A hook may change
// WParam, LParam and Result; the next hook and the window receive the changed
// values.
struct TMessage
{
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_CANCELMODE = 0x001F;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCHITTEST = 0x0084;
inline constexpr UINT WM_NCPAINT = 0x0085;
inline constexpr UINT WM_NCACTIVATE = 0x0086;
inline constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
inline constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr UINT WM_NCLBUTTONUP = 0x00A2;
inline constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
inline constexpr UINT WM_NCRBUTTONDOWN = 0x00A4;
inline constexpr UINT WM_NCRBUTTONUP = 0x00A5;
inline constexpr UINT WM_SYSCOMMAND = 0x0112;
inline constexpr UINT WM_USER = 0x0400;

// WM_SYSCOMMAND codes.
inline constexpr WPARAM SC_MINIMIZE = 0xF020;
inline constexpr WPARAM SC_MAXIMIZE = 0xF030;
inline constexpr WPARAM SC_CLOSE = 0xF060;
inline constexpr WPARAM SC_RESTORE = 0xF120;
inline constexpr WPARAM SC_CONTEXTHELP = 0xF180;

// WM_NCHITTEST results, also the WParam of the WM_NC*BUTTON* messages.
inline constexpr LRESULT HTNOWHERE = 0;
inline constexpr LRESULT HTCLIENT = 1;
inline constexpr LRESULT HTCAPTION = 2;
inline constexpr LRESULT HTSYSMENU = 3;
inline constexpr LRESULT HTMINBUTTON = 8;
inline constexpr LRESULT HTMAXBUTTON = 9;
inline constexpr LRESULT HTLEFT = 10;
inline constexpr LRESULT HTRIGHT = 11;
inline constexpr LRESULT HTTOP = 12;
inline constexpr LRESULT HTTOPLEFT = 13;
inline constexpr LRESULT HTTOPRIGHT = 14;
inline constexpr LRESULT HTBOTTOM = 15;
inline constexpr LRESULT HTBOTTOMLEFT = 16;
inline constexpr LRESULT HTBOTTOMRIGHT = 17;
inline constexpr LRESULT HTBORDER = 18;
inline constexpr LRESULT HTCLOSE = 20;
inline constexpr LRESULT HTHELP = 21;

// The WParam of WM_NCPAINT: a region in screen coordinates, or 1 for the
// whole window. The sender owns the region and keeps it alive for the call.
using HRGN = const QRegion *;
inline constexpr WPARAM NCPAINT_WHOLE_WINDOW = 1;

inline WPARAM RegionParam(HRGN region)
{
    return reinterpret_cast<WPARAM>(region);
}

// The region a WM_NCPAINT carries, or nullptr for "whole window" (and 0).
inline HRGN RegionFromParam(WPARAM wParam)
{
    return wParam > NCPAINT_WHOLE_WINDOW ? reinterpret_cast<HRGN>(wParam) : nullptr;
}

// A screen point packed as two signed 16-bit halves, as the mouse messages
// carry it.
constexpr LPARAM MakePointParam(int x, int y)
{
    return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)))
                               | (static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16));
}

constexpr QPoint PointFromParam(LPARAM lParam)
{
    const auto bits = static_cast<std::uint32_t>(lParam);
    return {static_cast<std::int16_t>(bits & 0xFFFFu), static_cast<std::int16_t>(bits >> 16)};
}

} // namespace darvolt::messages
