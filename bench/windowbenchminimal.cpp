// The yardstick for start-up: the least a Qt Widgets program does to show
// one empty window of the main window's client size. With --text the window
// shows one line of text as well, which brings in the font system: the
// share of start-up that any window with a caption pays.
#include "windowbenchfirstpaint.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    WatchFirstPaint("QWidget");
    QWidget window;
    window.resize(390, 256);
    if (QCoreApplication::arguments().contains(QStringLiteral("--text")))
        new QLabel(QStringLiteral("Simple is beautiful..."), &window);
    window.show();
    return app.exec();
}
