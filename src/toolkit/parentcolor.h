#pragma once

#include "graphics/colors.h"

class QWidget;

namespace darvolt {

// The colour a child with ParentColor set takes from its parent: the parent's
// own Color property when it has one (so system colours stay symbolic), else
// its window background. Without a parent, clBtnFace.
TColor ParentColorOf(const QWidget *widget);

// A control's Color together with its ParentColor switch. While the switch
// is on, the colour is the parent's, looked up when asked; setting a colour
// turns the switch off, and turning the switch off keeps the colour the
// parent had at that moment. The setters report whether anything changed, so
// that the owner repaints only then.
class TParentedColor {
public:
    TColor Value(const QWidget *owner) const { return m_followParent ? ParentColorOf(owner) : m_own; }
    bool FollowsParent() const { return m_followParent; }
    bool Set(TColor color);
    bool SetFollowParent(const QWidget *owner, bool value);

private:
    TColor m_own = clBtnFace;
    bool m_followParent = true;
};

// Keeps a container's palette in step with its Color, so that Qt passes the
// change on to the children as a palette change.
void ApplyBackgroundColor(QWidget *widget, TColor color);

} // namespace darvolt
