#pragma once

#include "widgets/procustomlabel.h"

namespace darvolt {

// The published effect label. Its shadow, highlight and rotation effects are
// set by no window of this program and are not drawn.
class TProLabel : public TProCustomLabel
{
    Q_OBJECT

public:
    explicit TProLabel(QWidget *parent = nullptr)
        : TProCustomLabel(parent)
    {
    }
};

} // namespace darvolt
