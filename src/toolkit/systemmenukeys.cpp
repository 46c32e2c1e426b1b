#include "toolkit/systemmenukeys.h"

#include "toolkit/form.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPointer>

namespace darvolt {

void TSystemMenuKeys::Install()
{
    static QPointer<TSystemMenuKeys> listener;
    if (listener || !qApp)
        return;
    listener = new TSystemMenuKeys;
    listener->setParent(qApp);
    qApp->installEventFilter(listener);
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

TForm *TSystemMenuKeys::FormOf(const QObject *watched)
{
    return watched->isWidgetType() ? qobject_cast<TForm *>(static_cast<const QWidget *>(watched)->window()) : nullptr;
}

bool TSystemMenuKeys::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (TForm *form = FormOf(watched);
            form && IsSystemMenuKey(*static_cast<QKeyEvent *>(event)) && form->PopupSystemMenu()) {
            event->accept();
            return true;
        }
        break;
    case QEvent::ContextMenu:
        // X11 follows the Menu key with a context menu request of its own
        // for the focused control; the system menu has answered the key.
        if (TForm *form = FormOf(watched); form
            && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard
            && form->HasSystemMenu()) {
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
