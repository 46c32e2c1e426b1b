#include "app/layoutfonts.h"

#include "toolkit/fonts.h"

#include <QLabel>
#include <QWidget>

#include <cmath>

int LayoutPixelSize(double pointSize)
{
    return static_cast<int>(std::lround(pointSize * 96.0 / 72.0));
}

void UseLayoutPixelFonts(QWidget *window)
{
    if (!window)
        return;
    InstallFontSubstitutes();
    auto convert = [](QWidget *widget) {
        if (!widget->testAttribute(Qt::WA_SetFont))
            return;
        QFont font = widget->font();
        if (font.pointSizeF() <= 0)
            return;
        font.setPixelSize(LayoutPixelSize(font.pointSizeF()));
        widget->setFont(font);
    };
    // Parents first, so that a control's own font is converted after the
    // one it inherits from has settled.
    convert(window);
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children)
        convert(child);
}

void FitLabelToText(QLabel *label)
{
    if (!label || label->text().isEmpty() || label->textFormat() == Qt::RichText)
        return;
    label->resize(label->sizeHint().width(), label->height());
}

void FitLabelsToText(QWidget *window)
{
    if (!window)
        return;
    const auto labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels)
        FitLabelToText(label);
}
