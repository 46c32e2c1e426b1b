#include "toolkit/menuaccessible.h"

#include "toolkit/accessibility.h"
#include "toolkit/drawtext.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

namespace darvolt {

TMenuAccessible::TMenuAccessible(QMenu *menu) : QAccessibleWidget(menu, QAccessible::PopupMenu)
{
}

QMenu *TMenuAccessible::menu() const
{
    return static_cast<QMenu *>(widget());
}

QAccessibleInterface *TMenuAccessible::parent() const
{
    if (QWidget *owner = menu()->parentWidget()) {
        QAccessibleInterface *window = QAccessible::queryAccessibleInterface(owner->window());
        if (window && window->indexOfChild(this) >= 0)
            return window;
    }
    return QAccessible::queryAccessibleInterface(qApp);
}

int TMenuAccessible::childCount() const
{
    return int(menu()->actions().size());
}

QAccessibleInterface *TMenuAccessible::child(int index) const
{
    return QAccessible::queryAccessibleInterface(menu()->actions().value(index));
}

int TMenuAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return child ? int(menu()->actions().indexOf(qobject_cast<QAction *>(child->object()))) : -1;
}

QAccessibleInterface *TMenuAccessible::childAt(int x, int y) const
{
    return QAccessible::queryAccessibleInterface(menu()->actionAt(menu()->mapFromGlobal(QPoint(x, y))));
}

TMenuItemAccessible::TMenuItemAccessible(QMenu *menu, QAction *action) : QAccessibleObject(action), m_menu(menu)
{
}

TMenuItemAccessible *TMenuItemAccessible::For(QAction *action)
{
    if (!action)
        return nullptr;
    // An action belongs to whatever shows it; the menu that made it first.
    auto *menu = qobject_cast<QMenu *>(action->parent());
    const QObjectList shownBy = action->associatedObjects();
    for (auto it = shownBy.begin(); !menu && it != shownBy.end(); ++it)
        menu = qobject_cast<QMenu *>(*it);
    return menu ? new TMenuItemAccessible(menu, action) : nullptr;
}

QAction *TMenuItemAccessible::action() const
{
    return static_cast<QAction *>(object());
}

bool TMenuItemAccessible::isValid() const
{
    return QAccessibleObject::isValid() && m_menu;
}

QWindow *TMenuItemAccessible::window() const
{
    return m_menu ? m_menu->windowHandle() : nullptr;
}

QRect TMenuItemAccessible::rect() const
{
    if (!m_menu)
        return {};
    return m_menu->actionGeometry(action()).translated(m_menu->mapToGlobal(QPoint(0, 0)));
}

QAccessibleInterface *TMenuItemAccessible::parent() const
{
    return QAccessible::queryAccessibleInterface(m_menu.data());
}

QAccessible::Role TMenuItemAccessible::role() const
{
    return action()->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
}

QString TMenuItemAccessible::text(QAccessible::Text t) const
{
    // What follows the tab is the key the menu shows at the right.
    const QString shown = action()->text();
    const qsizetype tab = shown.indexOf(QLatin1Char('\t'));
    switch (t) {
    case QAccessible::Name:
        return CaptionWithoutAccel(shown.left(tab));
    case QAccessible::Accelerator:
        if (tab >= 0)
            return shown.mid(tab + 1);
        return action()->shortcut().toString(QKeySequence::NativeText);
    default:
        return {};
    }
}

QAccessible::State TMenuItemAccessible::state() const
{
    QAccessible::State s;
    const bool shown = m_menu && m_menu->isVisible() && action()->isVisible();
    s.invisible = !shown;
    s.offscreen = !shown;
    s.disabled = !action()->isEnabled() || action()->isSeparator();
    s.focusable = !action()->isSeparator() && action()->isEnabled();
    s.focused = shown && m_menu->activeAction() == action();
    s.checkable = action()->isCheckable();
    s.checked = action()->isChecked();
    s.hasPopup = action()->menu() != nullptr;
    return s;
}

void *TMenuItemAccessible::interface_cast(QAccessible::InterfaceType t)
{
    return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
}

QStringList TMenuItemAccessible::actionNames() const
{
    if (action()->isSeparator() || !action()->isEnabled())
        return {};
    return {pressAction()};
}

void TMenuItemAccessible::doAction(const QString &actionName)
{
    if (actionName != pressAction() || !action()->isEnabled() || action()->isSeparator())
        return;
    // As a click on the item: the menu goes, then the command runs, once
    // the reader has had its answer.
    QPointer<QAction> command = action();
    if (m_menu)
        m_menu->hide();
    QTimer::singleShot(0, command, [command] { command->trigger(); });
}

QStringList TMenuItemAccessible::keyBindingsForAction(const QString &actionName) const
{
    // In an open menu the letter alone chooses the item.
    const QChar accel = AccelChar(action()->text());
    if (actionName != pressAction() || accel.isNull())
        return {};
    return {QString(accel.toUpper())};
}

} // namespace darvolt
