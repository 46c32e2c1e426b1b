// What the classic look test photographs: a window with a half-full progress
// bar at (8, 8), 164 x 16, and an error message; OK ends the program. With
// --grab FILE it only saves what the X server shows to FILE.
#include "app/startup.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"

#include <QApplication>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--grab") == 0) {
        const QGuiApplication app(argc, argv);
        return QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    darvolt::TApplication app(argc, argv);
    darvolt::PrepareApplication(app);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Classic windows"));
    window.setFixedSize(180, 32);
    window.move(40, 40);
    QProgressBar bar(&window);
    bar.setGeometry(8, 8, 164, 16);
    bar.setTextVisible(false);
    bar.setValue(50);
    window.show();
    QTimer::singleShot(0, &window, [] {
        darvolt::ShowErrorDialog(QStringLiteral("File not found."));
        QApplication::quit();
    });
    return app.exec();
}
