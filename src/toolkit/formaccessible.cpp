#include "toolkit/formaccessible.h"

#include "toolkit/form.h"

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

int TFormAccessible::childCount() const
{
    return int(componentChildren().size()) + QAccessibleWidget::childCount();
}

QAccessibleInterface *TFormAccessible::child(int index) const
{
    const QList<QAccessibleInterface *> components = componentChildren();
    if (index < 0)
        return nullptr;
    if (index < components.size())
        return components[index];
    return QAccessibleWidget::child(index - int(components.size()));
}

int TFormAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const QList<QAccessibleInterface *> components = componentChildren();
    const int own = int(components.indexOf(const_cast<QAccessibleInterface *>(child)));
    if (own >= 0)
        return own;
    const int widgetIndex = QAccessibleWidget::indexOfChild(child);
    return widgetIndex < 0 ? -1 : widgetIndex + int(components.size());
}

} // namespace darvolt
