#include "app/statusbaraccessible.h"

#include "app/statusbar.h"

namespace darvolt {

TStatusBarAccessible::TStatusBarAccessible(TStatusBar *bar) : QAccessibleWidget(bar, QAccessible::StatusBar)
{
}

TStatusBar *TStatusBarAccessible::bar() const
{
    return static_cast<TStatusBar *>(widget());
}

QString TStatusBarAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && bar()->accessibleName().isEmpty())
        return bar()->SimplePanel() ? bar()->SimpleText() : QString();
    return QAccessibleWidget::text(t);
}

QAccessible::State TStatusBarAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    return s;
}

} // namespace darvolt
