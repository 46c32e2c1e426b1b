// The yardstick for start-up: the least a Qt Widgets program does to show
// one empty window of the main window's client size. With --text the window
// shows one line of text as well, in the face and size the main window's
// controls use, which brings in the font system: the share of start-up that
// any window with a caption pays.
#include "windowbenchfirstpaint.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    WatchFirstPaint("QWidget");
    QWidget window;
    window.resize(390, 256);
    if (QCoreApplication::arguments().contains(QStringLiteral("--text"))) {
        auto *line = new QLabel(QStringLiteral("Simple is beautiful..."), &window);
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(11);
        font.setStyleStrategy(QFont::PreferAntialias);
        line->setFont(font);
    }
    window.show();
    return app.exec();
}
