#pragma once

#include <QAccessibleWidget>

namespace darvolt {

class TProUrlImage;
class TProUrlLabel;

// The link widgets as assistive technology sees them: links whose value is
// the address they open, with one action that follows the link as a click
// does. Like a button's press, the jump happens once the reader has had
// its answer.

// The name of the action that follows a link.
QString JumpAction();

// A link label, named by its caption; it reports whether it was visited.
class TProUrlLabelAccessible : public QAccessibleWidget
{
public:
    explicit TProUrlLabelAccessible(TProUrlLabel *label);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    TProUrlLabel *label() const;
};

// A link image, which has no caption: named by its hint, else by its
// address.
class TProUrlImageAccessible : public QAccessibleWidget
{
public:
    explicit TProUrlImageAccessible(TProUrlImage *image);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    TProUrlImage *image() const;
};

} // namespace darvolt
