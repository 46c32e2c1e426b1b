#pragma once

#include <QProxyStyle>

namespace darvolt {

// Qt's classic Windows look with the spacing the layouts were designed
// with: the caption of a radio button or check box starts four pixels after
// its 13-pixel indicator, as it did on the classic desktop. Disabled text
// takes the classic scheme's grey on the field's own white, as the classic
// edit boxes showed it, instead of the desktop palette's pale grey on grey.
class TClassicStyle : public QProxyStyle
{
    Q_OBJECT

public:
    TClassicStyle();

    void polish(QPalette &palette) override;
    using QProxyStyle::polish;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
};

} // namespace darvolt
