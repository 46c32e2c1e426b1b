#pragma once

#include <QAccessible>
#include <QString>

class QObject;
class QWidget;

namespace darvolt {

// What the accessible interfaces of our controls share: how a caption
// reads aloud, which label names a control, and the notifications that keep
// a screen reader in step with what the screen shows.

// The caption as spoken: the '&' marks go, "&&" reads as one '&'.
QString CaptionWithoutAccel(const QString &caption);

// The key that reaches the caption's accelerator ("Alt+S"), or empty.
QString AccelKeyText(const QString &caption);

// The text of the label that focuses this control through its accelerator
// (its buddy), looked for anywhere in the control's window, since labels and
// the fields they name often sit in different panels. Empty when none.
QString BuddyLabelText(const QWidget *control);

// Tells the assistive technology that the given states of the object have
// changed; the reader asks for their new values itself.
void NotifyStateChanged(QObject *object, QAccessible::State changed);

// Tells it of a change that carries nothing but its kind (a new name, a
// new value to read).
void NotifyAccessible(QObject *object, QAccessible::Event event);

} // namespace darvolt
