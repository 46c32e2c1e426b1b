#pragma once

#include "widgets/rxspeedbutton.h"

namespace darvolt {

class TCustomComboEdit;

// The button inside a combo edit: blends its left edge into the edit and
// takes the keyboard focus to the edit when pressed.
class TEditButton : public TRxSpeedButton
{
    Q_OBJECT

public:
    explicit TEditButton(QWidget *parent = nullptr);

    void setEdit(TCustomComboEdit *edit) { m_edit = edit; }

protected:
    void PaintOverlay(QPainter &painter, bool pressed) override;
    void LeftButtonPressed() override;

private:
    TCustomComboEdit *m_edit = nullptr;
};

} // namespace darvolt
