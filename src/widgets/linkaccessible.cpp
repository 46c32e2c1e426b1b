#include "widgets/linkaccessible.h"

#include "toolkit/accessibility.h"
#include "widgets/prourlimage.h"
#include "widgets/prourllabel.h"

#include <QTimer>

namespace darvolt {

QString JumpAction()
{
    return QStringLiteral("jump");
}

TProUrlLabelAccessible::TProUrlLabelAccessible(TProUrlLabel *label)
    : QAccessibleWidget(label, QAccessible::Link)
{
}

TProUrlLabel *TProUrlLabelAccessible::label() const
{
    return static_cast<TProUrlLabel *>(widget());
}

QString TProUrlLabelAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        if (!label()->accessibleName().isEmpty())
            return label()->accessibleName();
        return label()->ShowAccelChar() ? CaptionWithoutAccel(label()->Caption()) : label()->Caption();
    case QAccessible::Value:
        return label()->URL().isEmpty() ? label()->Caption() : label()->URL();
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State TProUrlLabelAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.linked = true;
    s.traversed = label()->Visited();
    s.pressed = label()->Armed();
    return s;
}

QStringList TProUrlLabelAccessible::actionNames() const
{
    return QStringList{JumpAction()} + QAccessibleWidget::actionNames();
}

void TProUrlLabelAccessible::doAction(const QString &actionName)
{
    if (actionName != JumpAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    if (label()->isEnabled())
        QTimer::singleShot(0, label(), &TProUrlLabel::Activate);
}

TProUrlImageAccessible::TProUrlImageAccessible(TProUrlImage *image)
    : QAccessibleWidget(image, QAccessible::Link)
{
}

TProUrlImage *TProUrlImageAccessible::image() const
{
    return static_cast<TProUrlImage *>(widget());
}

QString TProUrlImageAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        if (!image()->accessibleName().isEmpty())
            return image()->accessibleName();
        if (!image()->toolTip().isEmpty())
            return image()->toolTip();
        return image()->URL();
    case QAccessible::Value:
        return image()->URL();
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State TProUrlImageAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.linked = true;
    return s;
}

QStringList TProUrlImageAccessible::actionNames() const
{
    return QStringList{JumpAction()} + QAccessibleWidget::actionNames();
}

void TProUrlImageAccessible::doAction(const QString &actionName)
{
    if (actionName != JumpAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    if (image()->isEnabled())
        QTimer::singleShot(0, image(), &TProUrlImage::Click);
}

} // namespace darvolt
