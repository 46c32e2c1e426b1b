#include "widgets/prourl.h"

#include <QDesktopServices>
#include <QUrl>

namespace darvolt {

LinkOpenerFn &LinkOpener()
{
    static LinkOpenerFn opener = [](const QString &link) {
        // Addresses without a scheme ("www.example.com", a bare path) get
        // the one the desktop would guess; others pass unchanged.
        QDesktopServices::openUrl(QUrl::fromUserInput(link));
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
