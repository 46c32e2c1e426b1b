#include "widgets/panelaccessible.h"

#include "widgets/procustompanel.h"

namespace darvolt {

TProPanelAccessible::TProPanelAccessible(TProCustomPanel *panel)
    : QAccessibleWidget(panel, QAccessible::Grouping)
{
}

TProCustomPanel *TProPanelAccessible::panel() const
{
    return static_cast<TProCustomPanel *>(widget());
}

QString TProPanelAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && panel()->accessibleName().isEmpty())
        return panel()->Caption();
    return QAccessibleWidget::text(t);
}

} // namespace darvolt
