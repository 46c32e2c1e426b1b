#include "toolkit/systemmenukeys.h"

#include "toolkit/form.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>

namespace darvolt {

TSystemMenuKeys::TSystemMenuKeys(TForm *form) : QObject(form), m_form(form)
{
    qApp->installEventFilter(this);
}

bool TSystemMenuKeys::IsSystemMenuKey(const QKeyEvent &event)
{
    // The keypad flag says where a key sits, not what the user held down.
    const Qt::KeyboardModifiers held = event.modifiers() & ~Qt::KeypadModifier;
    switch (event.key()) {
    case Qt::Key_F10: return held == Qt::ShiftModifier;
    case Qt::Key_Menu: return held == Qt::NoModifier;
    case Qt::Key_Space: return held == Qt::AltModifier;
    default: return false;
    }
}

bool TSystemMenuKeys::IsOnForm(const QObject *watched) const
{
    return watched->isWidgetType() && static_cast<const QWidget *>(watched)->window() == m_form;
}

bool TSystemMenuKeys::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (IsOnForm(watched) && IsSystemMenuKey(*static_cast<QKeyEvent *>(event))
            && m_form->PopupSystemMenu()) {
            event->accept();
            return true;
        }
        break;
    case QEvent::ContextMenu:
        // X11 follows the Menu key with a context menu request of its own
        // for the focused control; the system menu has answered the key.
        if (IsOnForm(watched) && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard
            && m_form->HasSystemMenu()) {
            event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace darvolt
