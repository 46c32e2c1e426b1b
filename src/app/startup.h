#pragma once

namespace darvolt {

class TApplication;

// Makes the pictures of the layouts (icon, glyphs) available; the windows
// call it before they read their layouts.
void InitDarvoltResources();

// What every start of the window program does once the application object
// exists and before the first window is made: the title, the classic look,
// the substituted dialog font, the program icon and the link cursors.
void PrepareApplication(TApplication &app);

// The whole program: the registration switches end it before any window
// exists; otherwise the main window is made, shown and run until it closes.
int DarvoltMain(int argc, char **argv);

} // namespace darvolt
