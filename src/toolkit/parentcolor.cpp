#include "toolkit/parentcolor.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace darvolt {

TColor ParentColorOf(const QWidget *widget)
{
    const QWidget *parent = widget ? widget->parentWidget() : nullptr;
    if (!parent)
        return clBtnFace;
    const QVariant own = parent->property("Color");
    if (own.isValid() && own.canConvert<uint>())
        return TColor(own.toUInt());
    return RGBToColor(parent->palette().color(QPalette::Window));
}

bool TParentedColor::Set(TColor color)
{
    if (!m_followParent && color == m_own)
        return false;
    m_own = color;
    m_followParent = false;
    return true;
}

bool TParentedColor::SetFollowParent(const QWidget *owner, bool value)
{
    if (value == m_followParent)
        return false;
    if (!value)
        m_own = ParentColorOf(owner);
    m_followParent = value;
    return true;
}

void ApplyBackgroundColor(QWidget *widget, TColor color)
{
    QPalette palette = widget->palette();
    const QColor rgb = ColorToRGB(color);
    if (palette.color(QPalette::Window) == rgb && widget->testAttribute(Qt::WA_SetPalette))
        return;
    palette.setColor(QPalette::Window, rgb);
    palette.setColor(QPalette::Button, rgb);
    widget->setPalette(palette);
}

} // namespace darvolt
