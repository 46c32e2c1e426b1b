#include "toolkit/shortcut.h"

namespace darvolt {

namespace {

int virtualKey(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key; // the letters and digits share their codes
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    default: return 0;
    }
}

} // namespace

TShortCut ShortCutOf(int qtKey, Qt::KeyboardModifiers modifiers)
{
    const int vk = virtualKey(qtKey);
    if (vk == 0)
        return 0;
    TShortCut result = vk;
    if (modifiers & Qt::ShiftModifier)
        result |= scShift;
    if (modifiers & Qt::ControlModifier)
        result |= scCtrl;
    if (modifiers & Qt::AltModifier)
        result |= scAlt;
    return result;
}

} // namespace darvolt
