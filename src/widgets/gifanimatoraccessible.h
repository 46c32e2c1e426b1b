#pragma once

#include <QAccessibleWidget>

namespace darvolt {

class TRxGIFAnimator;

// A GIF animator as assistive technology sees it: a picture, animated while
// it plays. A banner has no words of its own, so it is named by its hint,
// else by the address of a link laid over it.
class TRxGIFAnimatorAccessible : public QAccessibleWidget, public QAccessibleImageInterface
{
public:
    explicit TRxGIFAnimatorAccessible(TRxGIFAnimator *animator);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType t) override;

    // QAccessibleImageInterface
    QString imageDescription() const override;
    QSize imageSize() const override;
    QPoint imagePosition() const override;

private:
    TRxGIFAnimator *animator() const;
    // The address of a sibling link that covers part of the animator.
    QString linkOver() const;
};

} // namespace darvolt
