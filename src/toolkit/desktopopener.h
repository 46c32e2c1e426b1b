#pragma once

#include <QStringList>
#include <QUrl>

#include <functional>

namespace darvolt {

// Hands a URL to the desktop's opener without waiting for it. The opener's
// verdict arrives later on the GUI thread: onFailure runs when it could not
// be started or ended with a failure (it found no program for the URL),
// nothing runs when it handed the URL on. An opener still at work when the
// program ends is left to go on.
void OpenWithDesktop(const QUrl &url, std::function<void()> onFailure);

// The opener program and its leading arguments, the URL going last;
// xdg-open unless a test points it elsewhere.
QStringList &DesktopOpenerCommand();

} // namespace darvolt
