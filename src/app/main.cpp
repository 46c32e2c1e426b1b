#include "app/startup.h"
#include "app/versiontext.h"

#include <cstdio>
#include <cstring>

namespace {

const char usage[] = R"(Usage: darvolt [FILE]

Opens the Darvolt window, which splits a file into numbered parts (FILE.!00,
FILE.!01, ...) and writes MERGE.BAT and merge.sh, scripts that join them again
on Windows and on Linux, and FILE.sha256, their checksums. When FILE is the
only argument, the window opens with it as the file to split; a file can also
be typed into the window, picked with its browse button or dropped onto it.
The title band's menu (Shift+F10, the Menu key, Alt+Space where the desktop
lets it through, a click on its icon or a right click on the band) holds Write
recovery data, Join parts..., Parts folder... (as darvolt-split --directory),
Beside the file and, during a run, Stop (Escape too: it asks first).

  --help             show this text
  --version          show the version and the licence

As every Qt program, darvolt also takes -platform NAME (xcb, wayland,
offscreen) and -display DISPLAY; they are never taken for the file.

Help (F1) in the window opens the user manual, share/doc/darvolt/darvolt.html
of the installation, in the browser. Spanning removable media writes to the
stick, card or diskette that is in when a prompt is answered (found through
UDisks2 or the mount table), or to the mounted folder DARVOLT_DRIVE_A names.
The one setting, Write recovery data, is kept in ~/.config/Darvolt/darvolt.conf.
darvolt-split and darvolt-join split and join from the command line.
)";

} // namespace

int main(int argc, char **argv)
{
    // Answered before any display is opened, so that they work over ssh and
    // in scripts. Only as the single argument: a file of that name can still
    // be given as ./--help.
    const auto say = [](const char* text) { return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1; };
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0)
        return say(usage);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return say(darvolt::VersionText("darvolt").c_str());
    return darvolt::DarvoltMain(argc, argv);
}
