#include "toolkit/accessibility.h"

#include "toolkit/drawtext.h"

#include <QKeySequence>
#include <QLabel>
#include <QWidget>

namespace darvolt {

QString CaptionWithoutAccel(const QString &caption)
{
    QString spoken;
    spoken.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (++i == caption.size())
                break;
        }
        spoken += caption[i];
    }
    return spoken;
}

QString AccelKeyText(const QString &caption)
{
    const QChar accel = AccelChar(caption);
    if (accel.isNull())
        return {};
    return QKeySequence(Qt::ALT | Qt::Key(accel.toUpper().unicode())).toString(QKeySequence::NativeText);
}

QString BuddyLabelText(const QWidget *control)
{
    if (!control)
        return {};
    const auto labels = control->window()->findChildren<QLabel *>();
    for (const QLabel *label : labels) {
        if (label->buddy() == control)
            return CaptionWithoutAccel(label->text());
    }
    return {};
}

void NotifyStateChanged(QObject *object, QAccessible::State changed)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleStateChangeEvent event(object, changed);
    QAccessible::updateAccessibility(&event);
}

void NotifyAccessible(QObject *object, QAccessible::Event kind)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(object, kind);
    QAccessible::updateAccessibility(&event);
}

} // namespace darvolt
