#pragma once

#include <QFont>

namespace darvolt {

// The layouts name "MS Sans Serif", which Linux desktops do not have. This
// maps it (and the other classic dialog faces) onto a metric-near font from
// fonts-liberation. Called once by the program at start-up and by the tests,
// before any widget measures text; calling it again changes nothing.
void InstallFontSubstitutes();

// The family the substitution resolves to on this machine.
QString SubstituteFamily();

// The family a font naming `family` is drawn in: its substitute when the
// face is one of those mapped above and not installed, else the family
// itself. Fonts made in that family directly are resolved once: asked for
// a face it does not have, the font system would search for it (and for
// fall-backs to it) anew at every size and weight.
QString ResolvedFamily(const QString &family);

// A font as the layouts give it: a face name and the character height in
// pixels (the negative "height" of the layouts, taken as positive here),
// in the face's resolved family.
QFont LayoutFont(const QString &family, int pixelHeight, bool bold = false);

} // namespace darvolt
