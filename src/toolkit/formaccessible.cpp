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

QList<QAccessibleInterface *> TFormAccessible::componentChildren() const
{
    QList<QAccessibleInterface *> found;
    for (QObject *child : form()->children()) {
        if (child->isWidgetType())
            continue;
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(child))
            found << iface;
    }
    return found;
}

QList<QAccessibleInterface *> TFormAccessible::openMenus() const
{
    QList<QAccessibleInterface *> found;
    for (QMenu *menu : form()->findChildren<QMenu *>(Qt::FindDirectChildrenOnly)) {
        if (!menu->isVisible())
            continue;
        if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(menu))
            found << iface;
    }
    return found;
}

int TFormAccessible::childCount() const
{
    return int(componentChildren().size()) + QAccessibleWidget::childCount() + int(openMenus().size());
}

QAccessibleInterface *TFormAccessible::child(int index) const
{
    const QList<QAccessibleInterface *> components = componentChildren();
    if (index < 0)
        return nullptr;
    if (index < components.size())
        return components[index];
    const int widgets = QAccessibleWidget::childCount();
    index -= int(components.size());
    if (index < widgets)
        return QAccessibleWidget::child(index);
    return openMenus().value(index - widgets);
}

int TFormAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    auto *wanted = const_cast<QAccessibleInterface *>(child);
    const QList<QAccessibleInterface *> components = componentChildren();
    const int own = int(components.indexOf(wanted));
    if (own >= 0)
        return own;
    const int widgets = QAccessibleWidget::childCount();
    const int widgetIndex = QAccessibleWidget::indexOfChild(child);
    if (widgetIndex >= 0)
        return widgetIndex + int(components.size());
    const int menu = int(openMenus().indexOf(wanted));
    return menu < 0 ? -1 : int(components.size()) + widgets + menu;
}

} // namespace darvolt
