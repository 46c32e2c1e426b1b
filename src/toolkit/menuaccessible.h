#pragma once

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QPointer>

class QAction;
class QMenu;

namespace darvolt {

// A popup menu as assistive technology sees it. Qt's own interface hangs a
// menu that pops up over a window from the application, which does not
// count it among its children, so a screen reader finds the menu only
// through its events. Ours hangs it from the window that owns it whenever
// that window lists it (a TForm lists its open menus), so the tree can be
// walked to it; elsewhere it stays under the application.
class TMenuAccessible : public QAccessibleWidget
{
public:
    explicit TMenuAccessible(QMenu *menu);

    QAccessibleInterface *parent() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

private:
    QMenu *menu() const;
};

// One command of a menu: named as the user reads it, without the '&' and
// without the key shown at the right ("&Close\tAlt+F4" reads "Close", with
// Alt+F4 as its accelerator); checkable items say whether they are checked.
// Indices follow the menu's actions, which is how the menu's own focus
// events name the lit item.
class TMenuItemAccessible : public QAccessibleObject, public QAccessibleActionInterface
{
public:
    // The interface for an action that sits in a menu, or null.
    static TMenuItemAccessible *For(QAction *action);

    bool isValid() const override;
    QWindow *window() const override;
    QRect rect() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType t) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    TMenuItemAccessible(QMenu *menu, QAction *action);
    QAction *action() const;

    QPointer<QMenu> m_menu;
};

} // namespace darvolt
