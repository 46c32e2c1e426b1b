#include "app/layoutfonts.h"

#include "toolkit/fonts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>

#include <cmath>

namespace darvolt {

namespace {

void useLayoutPixelFont(QWidget *widget)
{
    if (!widget->testAttribute(Qt::WA_SetFont))
        return;
    QFont font = widget->font();
    const QString family = ResolvedFamily(font.family());
    const bool inPoints = font.pointSizeF() > 0;
    if (!inPoints && family == font.family())
        return;
    if (inPoints)
        font.setPixelSize(LayoutPixelSize(font.pointSizeF()));
    font.setFamily(family);
    widget->setFont(font);
}

} // namespace

int LayoutPixelSize(double pointSize)
{
    return static_cast<int>(std::lround(pointSize * 96.0 / 72.0));
}

void UseLayoutPixelFonts(QWidget *window)
{
    if (!window)
        return;
    InstallFontSubstitutes();
    // Parents first, so that a control's own font is converted after the
    // one it inherits from has settled.
    useLayoutPixelFont(window);
    const auto children = window->findChildren<QWidget *>();
    for (QWidget *child : children)
        useLayoutPixelFont(child);
}

TLayoutFontScope::TLayoutFontScope()
{
    InstallFontSubstitutes();
    QCoreApplication::instance()->installEventFilter(this);
}

TLayoutFontScope::~TLayoutFontScope()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool TLayoutFontScope::eventFilter(QObject *watched, QEvent *event)
{
    // Setting the pixel font sends a change of its own, which finds
    // nothing left to convert.
    if (event->type() == QEvent::FontChange && watched->isWidgetType())
        useLayoutPixelFont(static_cast<QWidget *>(watched));
    return false;
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

} // namespace darvolt
