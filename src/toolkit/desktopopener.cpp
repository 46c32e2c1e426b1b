#include "toolkit/desktopopener.h"

#include <QCoreApplication>
#include <QProcess>

namespace darvolt {

QStringList &DesktopOpenerCommand()
{
    static QStringList command{QStringLiteral("xdg-open")};
    return command;
}

void OpenWithDesktop(const QUrl &url, std::function<void()> onFailure)
{
    const QStringList command = DesktopOpenerCommand();
    if (command.isEmpty()) {
        if (onFailure)
            onFailure();
        return;
    }
    // Owned by the application, so that it goes at the latest with it; the
    // opener's messages reach our own standard error, where a user who
    // started the program from a terminal looks for them.
    auto *opener = new QProcess(QCoreApplication::instance());
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->setStandardInputFile(QProcess::nullDevice());
    const auto fail = [opener, onFailure] {
        opener->deleteLater();
        if (onFailure)
            onFailure();
    };
    QObject::connect(opener, &QProcess::errorOccurred, opener, [fail](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail();
    });
    QObject::connect(opener, &QProcess::finished, opener, [opener, fail](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == 0)
            opener->deleteLater();
        else
            fail();
    });
    opener->start(command.first(), command.mid(1) << url.toString(QUrl::FullyEncoded));
}

} // namespace darvolt
