#pragma once

#include <QObject>

class QKeyEvent;

namespace darvolt {

class TForm;

// Opens a form's system menu from the keyboard: Shift+F10, the Menu key and
// Alt+Space (where the window manager lets the last one through), whichever
// control of the form has the focus. It listens to the whole application
// because the keys reach the focused control first, and an edit field would
// take Shift+F10 and the Menu key for its own context menu; in our windows
// the title band's menu wins. One listener serves every form.
class TSystemMenuKeys : public QObject
{
    Q_OBJECT

public:
    // Puts the one listener in place, the first time only.
    static void Install();

    static bool IsSystemMenuKey(const QKeyEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TSystemMenuKeys() = default;
    // The form whose control the event is for, if any.
    static TForm *FormOf(const QObject *watched);
};

} // namespace darvolt
