#include "widgets/editbutton.h"

#include "graphics/colors.h"
#include "toolkit/drawutil.h"
#include "widgets/customcomboedit.h"

#include <QPainter>

namespace darvolt {

TEditButton::TEditButton(QWidget *parent)
    : TRxSpeedButton(parent)
{
}

void TEditButton::PaintOverlay(QPainter &painter, bool pressed)
{
    if (pressed)
        return;
    // Two lines over the left edge so the raised button runs into the edit.
    const int h = height();
    DrawLine(painter, {0, 0}, {0, h - 1}, ColorToRGB(clBtnFace));
    DrawLine(painter, {1, 1}, {1, h - 2}, ColorToRGB(clBtnHighlight));
}

void TEditButton::LeftButtonPressed()
{
    if (m_edit && m_edit->focusPolicy() != Qt::NoFocus && m_edit->isEnabled() && !m_edit->hasFocus())
        m_edit->setFocus(Qt::MouseFocusReason);
}

} // namespace darvolt
