// A sizeable form with every title button, at the top left of the screen,
// for the title-band tests to double-click: the main window's border has no
// maximise box, so only this one shows what a double click may do.
#include "toolkit/form.h"

#include <QApplication>

using namespace darvolt;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TForm form;
    form.setBorderStyle(bsSizeable);
    form.setBorderIcons(biSystemMenu | biMinimize | biMaximize);
    form.setClientSize({240, 100});
    form.setCaption(QStringLiteral("Sizeable band"));
    form.move(10, 10);
    form.show();
    return app.exec();
}
