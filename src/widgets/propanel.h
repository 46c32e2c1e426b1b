#pragma once

#include "widgets/procustompanel.h"

namespace darvolt {

// The published panel; everything lives in the base.
class TProPanel : public TProCustomPanel
{
    Q_OBJECT

public:
    explicit TProPanel(QWidget *parent = nullptr)
        : TProCustomPanel(parent)
    {
    }
};

} // namespace darvolt
