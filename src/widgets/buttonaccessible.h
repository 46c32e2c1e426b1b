#pragma once

#include <QAccessibleWidget>

namespace darvolt {

class TFlatSpeedButton;
class TRxSpeedButton;

// The push buttons we draw ourselves, as assistive technology sees them.
// Their press action clicks the button the way the mouse would, once the
// reader has had its answer: a click may open a modal window, and the
// reader must not wait for that to close.

// A flat speed button: named by its caption, described by its hint; a
// grouped one can be checked (latched).
class TFlatSpeedButtonAccessible : public QAccessibleWidget
{
public:
    explicit TFlatSpeedButtonAccessible(TFlatSpeedButton *button);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    TFlatSpeedButton *button() const;
};

// The button inside a combo edit, which has no caption: it is the browse
// button, described by its hint. It belongs to the edit directly; the
// widget that only places it inside the edit's frame is not shown.
class TEditButtonAccessible : public QAccessibleWidget
{
public:
    explicit TEditButtonAccessible(TRxSpeedButton *button);

    QAccessibleInterface *parent() const override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    TRxSpeedButton *button() const;
};

} // namespace darvolt
