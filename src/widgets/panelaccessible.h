#pragma once

#include <QAccessibleWidget>

namespace darvolt {

class TProCustomPanel;

// A bordered panel groups the controls on it; it is named by its caption
// when it has one.
class TProPanelAccessible : public QAccessibleWidget
{
public:
    explicit TProPanelAccessible(TProCustomPanel *panel);

    QString text(QAccessible::Text t) const override;

private:
    TProCustomPanel *panel() const;
};

} // namespace darvolt
