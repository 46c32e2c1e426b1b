#include "app/classicstyle.h"

#include <QStyleFactory>

TClassicStyle::TClassicStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows")))
{
}

int TClassicStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_RadioButtonLabelSpacing:
    case PM_CheckBoxLabelSpacing:
        return 4;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}
