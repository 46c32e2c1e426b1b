#include "app/startup.h"

#include "app/accessiblefactory.h"
#include "app/classicstyle.h"
#include "app/sessionend.h"
#include "app/tform4.h"
#include "toolkit/application.h"
#include "toolkit/fonts.h"
#include "widgets/prourl.h"

#include <QIcon>

// The resources live in a static library, whose registration the linker
// would otherwise drop as unreferenced. Qt names the registration in the
// global namespace, so it is called from there.
static void initResources()
{
    Q_INIT_RESOURCE(darvolt);
}

namespace darvolt {

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
    TApplication app(argc, argv);
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
