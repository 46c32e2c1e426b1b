#include "toolkit/dialogform.h"

#include "toolkit/dialogs.h"

#include <QApplication>
#include <QWindow>

namespace darvolt {

namespace {

bool canOwn(const QWidget *window, const QWidget *dialog)
{
    if (!window || window == dialog || !window->isVisible())
        return false;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

} // namespace

TDialogForm::TDialogForm(QWidget *parent) : QDialog(parent)
{
    // Without the customising hint Qt asks a parentless dialog's window
    // manager for minimise and maximise boxes, which a message has no use
    // for.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
}

void TDialogForm::showEvent(QShowEvent *event)
{
    // The dialogs are made without a parent, wherever the message comes
    // from; the window they belong to is known only now.
    if (!parentWidget() && windowHandle()) {
        const QWidget *owner = DialogOwner(this);
        windowHandle()->setTransientParent(owner ? owner->windowHandle() : nullptr);
    }
    QDialog::showEvent(event);
    // Placed once the box has its final size, which it settles as it shows.
    CenterOnScreen(this);
}

QWidget *DialogOwner(const QWidget *dialog)
{
    QWidget *active = QApplication::activeWindow();
    if (canOwn(active, dialog))
        return active;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (canOwn(window, dialog))
            return window;
    return nullptr;
}

} // namespace darvolt
