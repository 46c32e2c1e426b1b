#pragma once

#include "toolkit/form.h"

#include "ui_taboutbox.h"

class QEventLoop;

namespace darvolt {

// The about box: the program's icon, name, version and years, and three
// links. It is built from its layout for every showing and has no code of
// its own beyond being a modal dialog: OK (click, Enter, or Space on it)
// ends it with result 1; there is no close box and Escape does nothing.
class TAboutBox : public TForm
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *owner = nullptr);
    ~TAboutBox() override;

    // Shows the box centred on the screen, blocks every other window of the
    // program, and returns its modal result once it has been answered (0
    // when the application ended meanwhile).
    int ShowModal();

    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result);

    const Ui::TAboutBox &Controls() const { return ui; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::TAboutBox ui;
    QEventLoop *m_loop = nullptr;
    int m_modalResult = 0;
};

} // namespace darvolt
