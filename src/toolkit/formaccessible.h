#pragma once

#include <QAccessibleWidget>

namespace darvolt {

class TForm;

// A form as assistive technology sees it: a window named by its title (a
// dialog for the dialog border), active while its frame is drawn active.
// Objects on the form that are not widgets but speak for a part of it (the
// component that paints the title band) come first among its children,
// ahead of the client area. The menus the form has open (its system menu)
// come last, so that a screen reader can walk from the window to them.
class TFormAccessible : public QAccessibleWidget
{
public:
    explicit TFormAccessible(TForm *form);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

private:
    TForm *form() const;
    // Everything a reader finds under the window, in order.
    QList<QAccessibleInterface *> allChildren() const;
};

} // namespace darvolt
