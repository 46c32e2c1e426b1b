#include "toolkit/formaccessible.h"

#include "toolkit/form.h"

#include <QMenu>

namespace darvolt {

TFormAccessible::TFormAccessible(TForm *form) : QAccessibleWidget(form, QAccessible::Window)
{
}

TForm *TFormAccessible::form() const
{
    return static_cast<TForm *>(widget());
}

QAccessible::Role TFormAccessible::role() const
{
    return form()->BorderStyle() == bsDialog ? QAccessible::Dialog : QAccessible::Window;
}

QString TFormAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && form()->accessibleName().isEmpty())
        return form()->Caption();
    return QAccessibleWidget::text(t);
}

QAccessible::State TFormAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.active = form()->Active();
    s.modal = form()->isModal();
    s.movable = true;
    s.sizeable = IsSizeable(form()->BorderStyle());
    return s;
}

QList<QAccessibleInterface *> TFormAccessible::allChildren() const
{
    // The window's components (objects, not widgets) come first, then its
    // controls, then its menu while that is open: a popup is a window of
    // its own, which a reader would otherwise find under no window at all.
    QList<QAccessibleInterface *> found;
    QList<QAccessibleInterface *> menus;
    for (QObject *child : form()->children()) {
        auto *menu = qobject_cast<QMenu *>(child);
        if (child->isWidgetType() && !(menu && menu->isVisible()))
            continue;
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(child))
            (menu ? menus : found) << iface;
    }
    for (int i = 0; i < QAccessibleWidget::childCount(); ++i)
        found << QAccessibleWidget::child(i);
    return found + menus;
}

int TFormAccessible::childCount() const
{
    return int(allChildren().size());
}

QAccessibleInterface *TFormAccessible::child(int index) const
{
    return allChildren().value(index);
}

int TFormAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return int(allChildren().indexOf(const_cast<QAccessibleInterface *>(child)));
}

} // namespace darvolt
