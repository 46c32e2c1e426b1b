#pragma once

#include <QAccessibleObject>

namespace darvolt {

class TRxGradientCaption;

// The title band a gradient caption paints, as assistive technology sees
// it: a text on the form, reading what the band shows (its segments and the
// form's caption), placed where the band is.
class TRxGradientCaptionAccessible : public QAccessibleObject
{
public:
    explicit TRxGradientCaptionAccessible(TRxGradientCaption *caption);

    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QRect rect() const override;

private:
    TRxGradientCaption *caption() const;
};

} // namespace darvolt
