#include "widgets/prourl.h"

#include "toolkit/desktopopener.h"
#include "toolkit/dialogs.h"

#include <QObject>
#include <QUrl>

namespace darvolt {

LinkOpenerFn &LinkOpener()
{
    static LinkOpenerFn opener = [](const QString &link) {
        // Addresses without a scheme ("www.example.com", a bare path) get
        // the one the desktop would guess; others pass unchanged. Without a
        // browser the desktop's opener only complains on standard error:
        // the user is told the address to open by hand instead.
        const QUrl url = QUrl::fromUserInput(link);
        OpenWithDesktop(url, [address = url.toString()] {
            ShowErrorDialog(QObject::tr("Cannot open %1: no browser could be started. "
                                        "Open the address in a browser by hand.")
                                .arg(address));
        });
    };
    return opener;
}

void OpenLink(const QString &link)
{
    if (link.isEmpty())
        return;
    if (LinkOpener())
        LinkOpener()(link);
}

} // namespace darvolt
