#include "widgets/buttonaccessible.h"

#include "toolkit/accessibility.h"
#include "widgets/customcomboedit.h"
#include "widgets/flatspeedbutton.h"
#include "widgets/rxspeedbutton.h"

#include <QCoreApplication>
#include <QTimer>

namespace darvolt {

TFlatSpeedButtonAccessible::TFlatSpeedButtonAccessible(TFlatSpeedButton *button)
    : QAccessibleWidget(button, QAccessible::PushButton)
{
}

TFlatSpeedButton *TFlatSpeedButtonAccessible::button() const
{
    return static_cast<TFlatSpeedButton *>(widget());
}

QString TFlatSpeedButtonAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        if (!button()->accessibleName().isEmpty())
            return button()->accessibleName();
        return CaptionWithoutAccel(button()->Caption());
    case QAccessible::Accelerator:
        return AccelKeyText(button()->Caption());
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State TFlatSpeedButtonAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.pressed = button()->FaceState() == TFlatSpeedButton::Pressed;
    s.checkable = button()->GroupIndex() != 0;
    s.checked = s.checkable && button()->Down();
    s.hotTracked = button()->Hot();
    return s;
}

QStringList TFlatSpeedButtonAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void TFlatSpeedButtonAccessible::doAction(const QString &actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    if (!button()->isEnabled())
        return;
    QTimer::singleShot(0, button(), &TFlatSpeedButton::PerformClick);
}

QStringList TFlatSpeedButtonAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction()) {
        const QString key = AccelKeyText(button()->Caption());
        return key.isEmpty() ? QStringList{} : QStringList{key};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

TEditButtonAccessible::TEditButtonAccessible(TRxSpeedButton *button)
    : QAccessibleWidget(button, QAccessible::PushButton)
{
}

TRxSpeedButton *TEditButtonAccessible::button() const
{
    return static_cast<TRxSpeedButton *>(widget());
}

QAccessibleInterface *TEditButtonAccessible::parent() const
{
    for (QWidget *w = button()->parentWidget(); w; w = w->parentWidget()) {
        if (qobject_cast<TCustomComboEdit *>(w))
            return QAccessible::queryAccessibleInterface(w);
        if (w->isWindow())
            break;
    }
    return QAccessibleWidget::parent();
}

QString TEditButtonAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && button()->accessibleName().isEmpty())
        return QCoreApplication::translate("TEditButton", "Browse");
    return QAccessibleWidget::text(t);
}

QAccessible::State TEditButtonAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.pressed = button()->IsPressed();
    return s;
}

QStringList TEditButtonAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void TEditButtonAccessible::doAction(const QString &actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    if (!button()->isEnabled())
        return;
    QTimer::singleShot(0, button(), &TRxSpeedButton::PerformClick);
}

} // namespace darvolt
