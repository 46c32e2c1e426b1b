#pragma once

#include "toolkit/messages.h"

#include <QFlags>
#include <QMargins>
#include <QObject>
#include <QRect>

namespace darvolt {

// The kinds of window frame and title-bar buttons a form can have, and where
// each part of its non-client area (frame, title band, buttons) lies.
namespace FormTypes {
Q_NAMESPACE

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TFormBorderStyle)

enum TBorderIcon { biSystemMenu = 0x1, biMinimize = 0x2, biMaximize = 0x4, biHelp = 0x8 };
Q_DECLARE_FLAGS(TBorderIcons, TBorderIcon)
Q_FLAG_NS(TBorderIcons)
// Beside the flags, where argument-dependent lookup finds them from anywhere.
Q_DECLARE_OPERATORS_FOR_FLAGS(TBorderIcons)

} // namespace FormTypes

using FormTypes::TBorderIcon;
using FormTypes::TBorderIcons;
using FormTypes::TFormBorderStyle;
using enum FormTypes::TFormBorderStyle;
using enum FormTypes::TBorderIcon;

constexpr bool IsToolWindow(TFormBorderStyle style)
{
    return style == bsToolWindow || style == bsSizeToolWin;
}

constexpr bool IsSizeable(TFormBorderStyle style)
{
    return style == bsSizeable || style == bsSizeToolWin;
}

// The icons the frame really shows for a border style: dialogs keep only the
// system menu and help, tool windows only the system menu (their close box);
// without a system menu there is no minimise or maximise box, and help gives
// way to either of those.
TBorderIcons EffectiveBorderIcons(TFormBorderStyle style, TBorderIcons icons);

// How many button cells the title band gives up at its right: one per
// effective icon (the system menu is the close box), plus one when only one
// of minimise and maximise is asked for, since both are then shown and the
// missing one is disabled.
int CaptionButtonCount(TFormBorderStyle style, TBorderIcons icons);

// Frame thickness on each side, without the title band.
QMargins FrameMargins(TFormBorderStyle style);

// Height of the title band including the line under it; 0 without border.
int CaptionHeight(TFormBorderStyle style);

// Everything between the window's edge and its client area.
QMargins NonClientMargins(TFormBorderStyle style);

// The part of the title band left of the buttons, computed from the window
// rectangle (in whatever coordinates it is given, the result is in the same).
QRect CaptionRect(const QRect &windowRect, TFormBorderStyle style, TBorderIcons icons);

// Where each part of the non-client area lies, in window coordinates.
struct TNonClientLayout
{
    TFormBorderStyle style = bsNone;
    TBorderIcons icons;  // effective icons
    QRect window;        // (0, 0, width, height)
    QRect captionRow;    // the title band with its buttons, without the line under it
    QRect band;          // CaptionRect: the band left of the buttons
    QRect icon;          // the small icon, empty when none is drawn
    QRect textArea;      // where the title text goes
    QRect minButton;     // the buttons, empty when absent
    QRect maxButton;
    QRect closeButton;
    QRect helpButton;
    QRect client;

    bool minEnabled = false;
    bool maxEnabled = false;
};

TNonClientLayout NonClientLayout(QSize windowSize, TFormBorderStyle style, TBorderIcons icons);

// What lies at a point in window coordinates: one of the HT* codes.
messages::LRESULT NonClientHitTest(const TNonClientLayout &layout, QPoint pos);

// The rectangle of the button a HT* code names, or an empty one.
QRect ButtonRect(const TNonClientLayout &layout, messages::LRESULT hit);

// Whether that button can be pressed.
bool ButtonEnabled(const TNonClientLayout &layout, messages::LRESULT hit);

} // namespace darvolt
