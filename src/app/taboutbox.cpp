#include "app/taboutbox.h"

#include "app/layoutfonts.h"
#include "app/startup.h"
#include "toolkit/dialogs.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>

namespace darvolt {

TAboutBox::TAboutBox(QWidget *owner) : TForm(owner)
{
    setBorderStyle(bsDialog);
    setBorderIcons({});
    InitDarvoltResources();
    {
        const TLayoutFontScope pixelFonts;
        ui.setupUi(Client());
    }
    UseLayoutPixelFonts(this);
    FitLabelsToText(Client());
    // A push button with a modal result ends the dialog with it.
    const auto buttons = Client()->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        const int result = button->property("ModalResult").toInt();
        if (result != 0)
            connect(button, &QPushButton::clicked, this, [this, result] { SetModalResult(result); });
    }
    ui.OKButton->setFocus();
}

TAboutBox::~TAboutBox()
{
    if (m_loop)
        m_loop->exit();
}

void TAboutBox::SetModalResult(int result)
{
    m_modalResult = result;
    if (result != 0 && m_loop)
        m_loop->exit();
}

int TAboutBox::ShowModal()
{
    m_modalResult = 0;
    setWindowModality(Qt::ApplicationModal);
    show();
    CenterOnScreen(this);
    raise();
    activateWindow();
    ui.OKButton->setFocus(Qt::ActiveWindowFocusReason);

    QEventLoop loop;
    m_loop = &loop;
    loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
    hide();
    return m_modalResult;
}

void TAboutBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The default button answers Enter wherever the focus is.
        ui.OKButton->click();
        return;
    case Qt::Key_Escape:
        // There is no Cancel button for Escape to press.
        event->accept();
        return;
    default:
        TForm::keyPressEvent(event);
    }
}

void TAboutBox::closeEvent(QCloseEvent *event)
{
    // Closing by the window manager ends the dialog as Cancel would.
    event->accept();
    if (m_modalResult == 0)
        SetModalResult(mrCancel);
}

} // namespace darvolt
