#pragma once

#include <QObject>

class QLabel;
class QWidget;

namespace darvolt {

// The layouts give their fonts in points, as designed for a 96 dots-per-inch
// screen. This turns every font a layout set on a window and its controls
// into the pixel height it had there (8 points: 11 pixels, 10 points: 13,
// 11 points: 15), so that captions keep fitting their rectangles on screens
// of any density, in the family the face resolves to. Runs the font
// substitution first.
void UseLayoutPixelFonts(QWidget *window);

// Reading a layout sets its fonts in points, and the controls it makes
// measure their text as they are made (an edit lays its text out at once).
// While a TLayoutFontScope lives, a font set on any widget is turned into
// its pixel font, as UseLayoutPixelFonts would, the moment it is set; so
// text is only ever measured in the font it is drawn in, and the font
// system loads each font once, in its final family and size.
class TLayoutFontScope : public QObject
{
public:
    TLayoutFontScope();
    ~TLayoutFontScope() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The pixel height of a point size on the designed screen.
int LayoutPixelSize(double pointSize);

// Labels size themselves to their text, as the layouts' labels were made
// to: each text label keeps its place and height and takes the width of its
// text in the font it really got. An empty label keeps its designed width.
void FitLabelToText(QLabel *label);
void FitLabelsToText(QWidget *window);

} // namespace darvolt
