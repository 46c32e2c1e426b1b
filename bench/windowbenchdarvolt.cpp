// The window program's own start-up, word for word, with a watch that ends
// it once its main window has been painted.
#include "windowbenchfirstpaint.h"

#include "app/startup.h"

using namespace darvolt;

namespace {

void watchMainWindow()
{
    WatchFirstPaint("TForm4");
}

} // namespace

// Runs as soon as the application object exists, before the window is made.
Q_COREAPP_STARTUP_FUNCTION(watchMainWindow)

int main(int argc, char **argv)
{
    return DarvoltMain(argc, argv);
}
