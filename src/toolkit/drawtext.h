#pragma once

#include <QChar>
#include <QRect>
#include <QString>

class QColor;
class QFont;
class QPainter;

namespace darvolt {

// Caption drawing shared by the widgets. An '&' in a caption marks the next
// letter as the accelerator (drawn underlined, the '&' itself not shown) and
// "&&" stands for one '&'; `accelerators` false draws the text as it is.

// The Qt text flags for the classic caption options.
int CaptionFlags(Qt::Alignment alignment, bool wordWrap, bool accelerators, bool singleLine);

// Size of the caption laid out with the flags inside a box of the given
// width (only word wrapping looks at the width).
QSize MeasureCaption(const QFont &font, int width, const QString &caption, int flags);

// The caption in one colour with a clear background.
void DrawCaption(QPainter &painter, const QRect &r, const QString &caption, int flags,
                 const QColor &color);

// The embossed disabled look: in clBtnHighlight one pixel right and down,
// then in clBtnShadow in place.
void DrawCaptionEmbossed(QPainter &painter, const QRect &r, const QString &caption, int flags);

// The accelerator letter of a caption (the character after a single '&'),
// or a null QChar when it has none.
QChar AccelChar(const QString &caption);

// Whether the typed character selects the caption's accelerator; letters
// match in either case.
bool IsAccel(QChar typed, const QString &caption);

} // namespace darvolt
