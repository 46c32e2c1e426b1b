#pragma once

#include <QList>
#include <QProxyStyle>
#include <QRect>

namespace darvolt {

// Qt's classic Windows look with the spacing the layouts were designed
// with: the caption of a radio button or check box starts four pixels after
// its 13-pixel indicator, as it did on the classic desktop. Its colours are
// the classic scheme of colors.h whatever the desktop's theme says, so that
// every window of the program (message boxes, menus, lists, the progress
// bar) wears the same grey face and bevels as the forms that draw their own
// frames. A progress bar fills with separate blocks, as the classic one did.
class TClassicStyle : public QProxyStyle
{
    Q_OBJECT

public:
    TClassicStyle();

    QPalette standardPalette() const override;
    void polish(QPalette &palette) override;
    using QProxyStyle::polish;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
};

// The blocks a classic progress bar shows inside its contents for a value
// between minimum and maximum: two thirds of the height wide, two pixels
// apart, from the left for as far as the value reaches; the last one is cut
// at the contents' edge. None while the value is at the minimum or the
// range is empty.
QList<QRect> ProgressBlocks(const QRect &contents, qint64 value, qint64 minimum, qint64 maximum);

} // namespace darvolt
