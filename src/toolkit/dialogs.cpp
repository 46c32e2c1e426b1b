#include "toolkit/dialogs.h"

#include "toolkit/application.h"
#include "toolkit/messageform.h"

#include <QGuiApplication>
#include <QScreen>

namespace darvolt {

namespace {

TMessageDialogHandler &handlerSlot()
{
    static TMessageDialogHandler handler;
    return handler;
}

int runDialog(const TMessageDialogRequest &request)
{
    const std::unique_ptr<TMessageForm> box = CreateMessageDialog(request);
    const int answer = box->exec();
    switch (request.kind) {
    case TMsgDlgKind::Prompt: return answer == mrOk ? mrOk : mrCancel;
    case TMsgDlgKind::Question: return answer == mrYes ? mrYes : mrNo;
    case TMsgDlgKind::Error:
    case TMsgDlgKind::Information:
    case TMsgDlgKind::Plain: break;
    }
    return mrOk;
}

} // namespace

QString MessageDialogTitle(TMsgDlgKind kind, const QString &promptTitle)
{
    switch (kind) {
    case TMsgDlgKind::Error: return QStringLiteral("Error");
    case TMsgDlgKind::Information: return QStringLiteral("Information");
    case TMsgDlgKind::Plain:
    case TMsgDlgKind::Question: return CurrentApplicationTitle();
    case TMsgDlgKind::Prompt: return promptTitle;
    }
    return {};
}

std::unique_ptr<TMessageForm> CreateMessageDialog(const TMessageDialogRequest &request)
{
    return std::make_unique<TMessageForm>(request);
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

int MessageDialog(TMsgDlgKind kind, const QString &text, const QString &promptTitle, const QString &details)
{
    const TMessageDialogRequest request{kind, MessageDialogTitle(kind, promptTitle), text, details};
    // Copied, so that a handler that installs another one while it runs
    // does not pull itself from under its own feet.
    const TMessageDialogHandler handler = handlerSlot();
    return handler ? handler(request) : runDialog(request);
}

} // namespace darvolt
