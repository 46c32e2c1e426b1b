#pragma once

#include <QAccessibleWidget>

namespace darvolt {

class TStatusBar;

// The status bar reads out the line it shows; a new line is announced as a
// new name, as screen readers expect of status bars.
class TStatusBarAccessible : public QAccessibleWidget
{
public:
    explicit TStatusBarAccessible(TStatusBar *bar);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

private:
    TStatusBar *bar() const;
};

} // namespace darvolt
