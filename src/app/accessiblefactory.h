#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

namespace darvolt {

// Gives assistive technology an interface for each of our own controls,
// which Qt would otherwise show as unnamed panels. `classname` is one class
// of the object's line of descent, asked for from the most derived up.
QAccessibleInterface *DarvoltAccessibleFactory(const QString &classname, QObject *object);

// Makes the factory known to Qt; the program does it once at start-up,
// further calls change nothing.
void InstallAccessibleFactory();

} // namespace darvolt
