#pragma once
// Test helpers for forms shaped like the main window: single border, system
// menu and minimise, client 390 x 256, so the title band is (3, 3) 336 x 18
// in the window.

#include "graphics/colors.h"
#include "toolkit/form.h"

#include <QTest>

inline QRgb rgb(darvolt::TColor color)
{
    return darvolt::ColorToRGB(color).rgb();
}

inline void makeMainWindowLike(darvolt::TForm &form)
{
    form.setBorderStyle(darvolt::bsSingle);
    form.setBorderIcons(darvolt::biSystemMenu | darvolt::biMinimize);
    form.setClientSize({390, 256});
    form.setCaption(QStringLiteral("Darvolt - The File Splitter"));
}

// Shows the form and waits until it is the active window with an active
// title band.
inline bool showActive(darvolt::TForm &form)
{
    form.show();
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form) && form.Active();
}
