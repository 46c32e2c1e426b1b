#pragma once

#include <QDialog>

namespace darvolt {

// A dialog box of the program: a message, a question, a list to choose
// from. The window manager is told it is a dialog with a close box and
// nothing to minimise or maximise, and that it belongs to the window the
// user was working in when it appeared, so that it stays above that window.
// It is centred on the screen whenever it is shown.
class TDialogForm : public QDialog
{
    Q_OBJECT

public:
    explicit TDialogForm(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};

// The window a dialog shown now belongs to: the application's active
// window, else its first visible top-level window; null when there is none
// besides the dialog itself.
QWidget *DialogOwner(const QWidget *dialog);

} // namespace darvolt
