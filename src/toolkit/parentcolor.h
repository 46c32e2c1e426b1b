#pragma once

#include "toolkit/colors.h"

class QWidget;

// The colour a child with ParentColor set takes from its parent: the parent's
// own Color property when it has one (so system colours stay symbolic), else
// its window background. Without a parent, clBtnFace.
TColor ParentColorOf(const QWidget *widget);

// Keeps a container's palette in step with its Color, so that Qt passes the
// change on to the children as a palette change.
void ApplyBackgroundColor(QWidget *widget, TColor color);
