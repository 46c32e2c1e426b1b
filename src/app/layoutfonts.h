#pragma once

class QLabel;
class QWidget;

// The layouts give their fonts in points, as designed for a 96 dots-per-inch
// screen. This turns every font a layout set on a window and its controls
// into the pixel height it had there (8 points: 11 pixels, 10 points: 13,
// 11 points: 15), so that captions keep fitting their rectangles on screens
// of any density. Runs the font substitution first.
void UseLayoutPixelFonts(QWidget *window);

// The pixel height of a point size on the designed screen.
int LayoutPixelSize(double pointSize);

// Labels size themselves to their text, as the layouts' labels were made
// to: each text label keeps its place and height and takes the width of its
// text in the font it really got. An empty label keeps its designed width.
void FitLabelToText(QLabel *label);
void FitLabelsToText(QWidget *window);
