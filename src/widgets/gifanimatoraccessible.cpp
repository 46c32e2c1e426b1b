#include "widgets/gifanimatoraccessible.h"

#include "widgets/gifanimator.h"

namespace darvolt {

TRxGIFAnimatorAccessible::TRxGIFAnimatorAccessible(TRxGIFAnimator *animator)
    : QAccessibleWidget(animator, QAccessible::Graphic)
{
}

TRxGIFAnimator *TRxGIFAnimatorAccessible::animator() const
{
    return static_cast<TRxGIFAnimator *>(widget());
}

QString TRxGIFAnimatorAccessible::linkOver() const
{
    const QWidget *parent = animator()->parentWidget();
    if (!parent)
        return {};
    const auto siblings = parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (const QWidget *sibling : siblings) {
        if (sibling == animator() || !sibling->geometry().intersects(animator()->geometry()))
            continue;
        const QString url = sibling->property("URL").toString();
        if (!url.isEmpty())
            return url;
    }
    return {};
}

QString TRxGIFAnimatorAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Name || !animator()->accessibleName().isEmpty())
        return QAccessibleWidget::text(t);
    if (!animator()->toolTip().isEmpty())
        return animator()->toolTip();
    return linkOver();
}

QAccessible::State TRxGIFAnimatorAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.animated = animator()->Animate();
    s.readOnly = true;
    return s;
}

void *TRxGIFAnimatorAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::ImageInterface)
        return static_cast<QAccessibleImageInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString TRxGIFAnimatorAccessible::imageDescription() const
{
    return text(QAccessible::Name);
}

QSize TRxGIFAnimatorAccessible::imageSize() const
{
    return animator()->size();
}

QPoint TRxGIFAnimatorAccessible::imagePosition() const
{
    return animator()->mapToGlobal(QPoint(0, 0));
}

} // namespace darvolt
