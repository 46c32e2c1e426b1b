#include "toolkit/dialogs.h"

#include "toolkit/application.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

// A message box that takes the middle of the screen once it has its final
// size, which it settles only as it is shown.
class CentredMessageBox : public QMessageBox
{
protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        CenterOnScreen(this);
    }
};

TMessageDialogHandler &handlerSlot()
{
    static TMessageDialogHandler handler;
    return handler;
}

int runDialog(const TMessageDialogRequest &request)
{
    const std::unique_ptr<QMessageBox> box = CreateMessageDialog(request);
    const int answer = box->exec();
    if (request.kind != TMsgDlgKind::Prompt)
        return mrOk;
    return answer == QMessageBox::Ok ? mrOk : mrCancel;
}

} // namespace

QString MessageDialogTitle(TMsgDlgKind kind, const QString &promptTitle)
{
    switch (kind) {
    case TMsgDlgKind::Error: return QStringLiteral("Error");
    case TMsgDlgKind::Information: return QStringLiteral("Information");
    case TMsgDlgKind::Plain: return ApplicationTitle();
    case TMsgDlgKind::Prompt: return promptTitle;
    }
    return {};
}

std::unique_ptr<QMessageBox> CreateMessageDialog(const TMessageDialogRequest &request)
{
    std::unique_ptr<QMessageBox> box = std::make_unique<CentredMessageBox>();
    box->setWindowTitle(request.title);
    box->setTextFormat(Qt::PlainText);
    box->setText(request.text);
    box->setWindowModality(Qt::ApplicationModal);
    switch (request.kind) {
    case TMsgDlgKind::Error: box->setIcon(QMessageBox::Critical); break;
    case TMsgDlgKind::Information: box->setIcon(QMessageBox::Information); break;
    case TMsgDlgKind::Plain:
    case TMsgDlgKind::Prompt: box->setIcon(QMessageBox::NoIcon); break;
    }
    if (request.kind == TMsgDlgKind::Prompt) {
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Cancel);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    return box;
}

void CenterOnScreen(QWidget *window)
{
    if (!window)
        return;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

TMessageDialogHandler SetMessageDialogHandler(TMessageDialogHandler handler)
{
    std::swap(handlerSlot(), handler);
    return handler;
}

int MessageDialog(TMsgDlgKind kind, const QString &text, const QString &promptTitle)
{
    const TMessageDialogRequest request{kind, MessageDialogTitle(kind, promptTitle), text};
    // Copied, so that a handler that installs another one while it runs
    // does not pull itself from under its own feet.
    const TMessageDialogHandler handler = handlerSlot();
    return handler ? handler(request) : runDialog(request);
}
