#pragma once

#include <QProxyStyle>

// Qt's classic Windows look with the spacing the layouts were designed
// with: the caption of a radio button or check box starts four pixels after
// its 13-pixel indicator, as it did on the classic desktop.
class TClassicStyle : public QProxyStyle
{
    Q_OBJECT

public:
    TClassicStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
};
