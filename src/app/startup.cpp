#include "app/startup.h"

#include "app/accessiblefactory.h"
#include "app/classicstyle.h"
#include "app/sessionend.h"
#include "app/tform4.h"
#include "toolkit/application.h"
#include "toolkit/fonts.h"
#include "widgets/prourl.h"

#include <QIcon>

#include <memory>

#include <cstdio>
#include <cstdlib>

// The resources live in a static library, whose registration the linker
// would otherwise drop as unreferenced. Qt names the registration in the
// global namespace, so it is called from there.
static void initResources()
{
    Q_INIT_RESOURCE(darvolt);
}

namespace darvolt {

namespace {

QtMessageHandler previousHandler = nullptr;

// Without a display Qt finds no platform plugin it can start and ends the
// program with abort(), as if it had crashed. While the application object
// is made, that one fatal message means just this, and is said so.
void NoDisplayHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        if (previousHandler != nullptr)
            previousHandler(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    std::fputs("darvolt: no display found: the window needs an X11 or Wayland display (DISPLAY or "
               "WAYLAND_DISPLAY); darvolt-split and darvolt-join work without one\n",
               stderr);
    // Nothing of the application exists yet that would need to be ended.
    std::_Exit(1);
}

// Keeps the handler in place while the application object is made.
class NoDisplayWatch
{
public:
    NoDisplayWatch() { previousHandler = qInstallMessageHandler(NoDisplayHandler); }
    ~NoDisplayWatch() { qInstallMessageHandler(previousHandler); }
    NoDisplayWatch(const NoDisplayWatch &) = delete;
    NoDisplayWatch &operator=(const NoDisplayWatch &) = delete;
};

std::unique_ptr<TApplication> MakeApplication(int &argc, char **argv)
{
    const NoDisplayWatch watch;
    return std::make_unique<TApplication>(argc, argv);
}

} // namespace

void InitDarvoltResources()
{
    initResources();
}

void PrepareApplication(TApplication &app)
{
    InitDarvoltResources();
    app.SetTitle(QStringLiteral("Darvolt"));
    app.SetHelpFile(QStringLiteral("darvolt.html"));
    QGuiApplication::setDesktopFileName(QStringLiteral("darvolt"));
    // The layouts were designed for the classic controls; the desktop's
    // own style would draw bigger ones that do not fit their places.
    QApplication::setStyle(new TClassicStyle);
    InstallFontSubstitutes();
    // Message boxes and anything else without a font of its own speak in
    // the windows' dialog font.
    QApplication::setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 11));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/darvolt/darvolt.xpm")));
    RegisterProUrlCursors();
    // Before any window exists, so that a screen reader never meets our
    // controls as unnamed panels.
    InstallAccessibleFactory();
}

int DarvoltMain(int argc, char **argv)
{
    const std::unique_ptr<TApplication> application = MakeApplication(argc, argv);
    TApplication &app = *application;
    // The program serves no automation objects, so there is nothing to
    // register or remove: it only ends.
    if (TApplication::FindRegistrationSwitch(QCoreApplication::arguments().mid(1)))
        return 0;
    PrepareApplication(app);
    darvolt::InterruptSignals interrupts;
    TForm4 form;
    const TSessionEnd sessionEnd(form, interrupts);
    form.show();
    return app.exec();
}

} // namespace darvolt
