// Shows each custom widget in its main states.
#include "graphics/colors.h"
#include "toolkit/fonts.h"
#include "toolkit/parentcolor.h"
#include "widgets/filenameedit.h"
#include "widgets/flatspeedbutton.h"
#include "widgets/propanel.h"
#include "widgets/prourl.h"
#include "widgets/prourlimage.h"
#include "widgets/prourllabel.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

using namespace darvolt;

namespace {

// A 16 x 16 two-state glyph (normal, then the disabled look) drawn here:
// a page with a fold on a magenta background.
QPixmap pageGlyph(int states)
{
    QImage image(16 * states, 16, QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 255));
    QPainter p(&image);
    for (int s = 0; s < states; ++s) {
        const int x = s * 16;
        p.fillRect(x + 3, 1, 10, 14, s == 0 ? QColor(255, 255, 255) : QColor(192, 192, 192));
        p.setPen(s == 0 ? Qt::black : QColor(128, 128, 128));
        p.drawRect(x + 3, 1, 9, 13);
        p.fillRect(x + 5, 5, 6, 1, s == 0 ? Qt::blue : Qt::gray);
        p.fillRect(x + 5, 8, 6, 1, s == 0 ? Qt::blue : Qt::gray);
        p.fillRect(x + 5, 11, 4, 1, s == 0 ? Qt::blue : Qt::gray);
    }
    return QPixmap::fromImage(image);
}

QLabel *note(QWidget *parent, const QString &text, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

TFlatSpeedButton *flatButton(QWidget *parent, const QString &caption, int x, int y, int states)
{
    auto *button = new TFlatSpeedButton(parent);
    button->setGeometry(x, y, 64, 40);
    button->setCaption(caption);
    button->setGlyph(pageGlyph(states));
    button->setColorFocused(clBtnFace);
    button->setColorBorder(clBtnFace);
    return button;
}

// Brings the pointer onto the button and tells it so, as a person would; the
// button shows its hot face while its window is active.
void hoverOver(TFlatSpeedButton *button)
{
    const QPoint centre = button->rect().center();
    const QPoint global = button->mapToGlobal(centre);
    QCursor::setPos(global);
    QMouseEvent move(QEvent::MouseMove, QPointF(centre), QPointF(global), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(button, &move);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    InstallFontSubstitutes();
    RegisterProUrlCursors();
    QApplication::setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 11));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Darvolt widget gallery"));
    window.resize(560, 400);
    ApplyBackgroundColor(&window, clBtnFace);
    window.setAutoFillBackground(true);

    // Panels: the size-mode panel's look, a 3-D bevel, sides, a wrapped caption.
    note(&window, QStringLiteral("Panels"), 8, 4);
    auto *sizePanel = new TProPanel(&window);
    sizePanel->setGeometry(8, 20, 120, 60);
    sizePanel->setBevelInner(TProCustomPanel::bvLowered);
    sizePanel->setBorderColor(0xB1A90C);
    auto *ctlPanel = new TProPanel(&window);
    ctlPanel->setGeometry(136, 20, 120, 60);
    ctlPanel->setBevelCtl3D(true);
    ctlPanel->setBevelInner(TProCustomPanel::bvLowered);
    ctlPanel->setBorderWidth(3);
    ctlPanel->setBorderColor(0xB1A90C);
    ctlPanel->setCaption(QStringLiteral("3-D bevels, border 3"));
    auto *sidesPanel = new TProPanel(&window);
    sidesPanel->setGeometry(264, 20, 120, 60);
    sidesPanel->setBevelSides(TProCustomPanel::sdLeft | TProCustomPanel::sdBottom);
    sidesPanel->setBevelWidth(2);
    sidesPanel->setCaption(QStringLiteral("left and bottom sides only"));
    sidesPanel->setVerticalAlignment(TProCustomPanel::vaBottom);
    auto *wrapPanel = new TProPanel(&window);
    wrapPanel->setGeometry(392, 20, 150, 60);
    wrapPanel->setBevelOuter(TProCustomPanel::bvLowered);
    wrapPanel->setColor(0xE1EAEB);
    wrapPanel->setCaption(QStringLiteral("A caption longer than the panel wraps onto several lines"));

    // Flat buttons: idle, hot, pressed, latched, disabled with one and two glyphs.
    note(&window, QStringLiteral("Flat speed buttons: up, hot, pressed, latched, disabled (1 and 2 glyphs)"), 8, 92);
    auto *panel2 = new TProPanel(&window);
    panel2->setGeometry(8, 108, 544, 52);
    panel2->setBevelInner(TProCustomPanel::bvLowered);
    flatButton(panel2, QStringLiteral("&Split"), 8, 6, 1);
    auto *hot = flatButton(panel2, QStringLiteral("&Help"), 80, 6, 2);
    auto *pressed = flatButton(panel2, QStringLiteral("&About"), 152, 6, 1);
    auto *latched = flatButton(panel2, QStringLiteral("&Latched"), 224, 6, 1);
    latched->setGroupIndex(1);
    latched->setDown(true);
    flatButton(panel2, QStringLiteral("&Exit"), 296, 6, 1)->setEnabled(false);
    flatButton(panel2, QStringLiteral("E&xit"), 368, 6, 2)->setEnabled(false);
    auto *left = flatButton(panel2, QStringLiteral("Left"), 440, 6, 1);
    left->setLayout(TFlatSpeedButton::blGlyphLeft);
    left->setColorBorder(0x8396A0);
    left->resize(96, 40);

    // File-name edits: empty, with a quoted path, read-only, disabled, kinds.
    note(&window, QStringLiteral("File-name edits: normal, ellipsis, drop-down, disabled"), 8, 172);
    auto *edit1 = new TFilenameEdit(&window);
    edit1->setGeometry(8, 188, 296, 21);
    edit1->setText(QStringLiteral("\"/home/user/My Documents/report.doc\""));
    auto *edit2 = new TFilenameEdit(&window);
    edit2->setGeometry(312, 188, 240, 21);
    edit2->setGlyphKind(TCustomComboEdit::gkEllipsis);
    edit2->setText(QStringLiteral("/tmp/archive.zip"));
    auto *edit3 = new TFilenameEdit(&window);
    edit3->setGeometry(8, 216, 296, 21);
    edit3->setGlyphKind(TCustomComboEdit::gkDropDown);
    auto *edit4 = new TFilenameEdit(&window);
    edit4->setGeometry(312, 216, 240, 21);
    edit4->setText(QStringLiteral("/media/floppy0/disabled.txt"));
    edit4->setEnabled(false);

    // Link labels: unvisited, pressed, visited, hover-able, disabled.
    note(&window, QStringLiteral("Link labels: unvisited, visited, hover-able (hot), disabled"), 8, 252);
    auto *link1 = new TProUrlLabel(&window);
    link1->move(8, 270);
    link1->setCaption(QStringLiteral("www.example.com"));
    auto *link2 = new TProUrlLabel(&window);
    link2->move(136, 270);
    link2->setCaption(QStringLiteral("Visited link"));
    link2->setVisitedColor(clNavy);
    link2->setFontColor(clNavy);
    auto *link3 = new TProUrlLabel(&window);
    link3->move(240, 270);
    link3->setCaption(QStringLiteral("Hover here"));
    link3->setCanHover(true);
    link3->setHoveredColor(clRed);
    auto *link4 = new TProUrlLabel(&window);
    link4->move(340, 270);
    link4->setCaption(QStringLiteral("Disabled link"));
    link4->setEnabled(false);
    auto *big = new TProUrlLabel(&window);
    big->setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 13));
    big->move(8, 292);
    big->setCaption(QStringLiteral("mailto:someone@example.com"));

    note(&window, QStringLiteral("Link image over a banner (invisible, hand cursor):"), 8, 320);
    auto *banner = new TProPanel(&window);
    banner->setGeometry(8, 336, 391, 41);
    banner->setColor(0xA00000);
    banner->setBevelInner(TProCustomPanel::bvLowered);
    auto *image = new TProUrlImage(banner);
    image->setGeometry(2, 2, 387, 37);
    image->setURL(QStringLiteral("https://www.example.com/"));

    const int grabAt = int(QCoreApplication::arguments().indexOf(QStringLiteral("--grab")));
    window.show();
    window.activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (!window.isActiveWindow() && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    hoverOver(hot);
    // Activation put the focus into the first edit; the picture shows none.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    // Hold the left button on one button so its pressed face shows.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), pressed->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pressed, &press);
    if (grabAt > 0 && grabAt + 1 < argc) {
        const QImage shot = window.grab().toImage();
        return shot.save(QCoreApplication::arguments().at(grabAt + 1)) ? 0 : 1;
    }
    return app.exec();
}
