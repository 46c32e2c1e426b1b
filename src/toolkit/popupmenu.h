#pragma once

#include <QMenu>
#include <QPointer>

namespace darvolt {

// A context menu that a component can pop up for its control. AutoPopup
// false means the menu is shown only when the program asks; PopupComponent
// tells the menu's actions which component popped it up last.
class TPopupMenu : public QMenu
{
    Q_OBJECT
    Q_PROPERTY(bool AutoPopup READ AutoPopup WRITE setAutoPopup)

public:
    explicit TPopupMenu(QWidget *parent = nullptr) : QMenu(parent) {}

    bool AutoPopup() const { return m_autoPopup; }
    void setAutoPopup(bool autoPopup) { m_autoPopup = autoPopup; }

    QObject *PopupComponent() const { return m_popupComponent; }
    void setPopupComponent(QObject *component) { m_popupComponent = component; }

    // Shows the menu at a screen position without waiting for a choice.
    void Popup(int x, int y) { popup(QPoint(x, y)); }

private:
    bool m_autoPopup = true;
    QPointer<QObject> m_popupComponent;
};

} // namespace darvolt
