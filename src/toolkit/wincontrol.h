#pragma once

#include "toolkit/wndproc.h"

#include <QWidget>

namespace darvolt {

// A widget that owns a window in the message system: its messages go through
// a window procedure that others may replace (wndproc.h), ending in the
// widget's own WndProc. The window is made on first need and can be
// destroyed and made again (RecreateWnd) while the widget lives on; its
// procedure starts as the widget's own each time, as with any new window.
class TWinControl : public QWidget
{
    Q_OBJECT

public:
    explicit TWinControl(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~TWinControl() override;

    // The window, made now if it does not exist.
    messages::HWND Handle();
    // The window if it exists, else HWND{}.
    messages::HWND WindowHandle() const;
    bool HandleAllocated() const;
    void HandleNeeded();
    // Destroys the window (it receives WM_DESTROY first) and makes a new one.
    void RecreateWnd();
    // Destroys the window after sending it WM_DESTROY.
    void DestroyHandle();

    // True from the start of destruction on.
    bool IsDestroying() const { return m_destroying; }

    // The widget's own window procedure: what a new window starts with, and
    // where a subclass that has nothing to pass on can send a message.
    const messages::WNDPROC &OwnWindowProc() const { return m_ownProc; }

    // Runs WndProc directly, past anyone who replaced the window procedure.
    messages::LRESULT Perform(messages::UINT msg, messages::WPARAM wParam = 0, messages::LPARAM lParam = 0);

    // Sends through the window's current procedure; an exception on the way
    // goes to the application's exception handler instead of the caller, as
    // befits messages that come from Qt's events.
    messages::LRESULT Deliver(messages::UINT msg, messages::WPARAM wParam = 0, messages::LPARAM lParam = 0);

Q_SIGNALS:
    // Once, at the start of destruction, after the window has been
    // destroyed: whoever keeps a pointer to this control lets go of it here.
    void Destroying(TWinControl *control);

protected:
    // The control's handling of its messages; the base does nothing but
    // DefWindowProc.
    virtual void WndProc(messages::TMessage &message);

    // Called when a new window has been made.
    virtual void WindowCreated() {}

    // Marks the control as being destroyed, destroys its window and tells
    // the watchers. Called by the destructor of the most derived class that
    // handles WM_DESTROY (a base destructor can no longer reach the derived
    // WndProc); repeated calls do nothing.
    void BeginDestroy();

private:
    messages::WNDPROC m_ownProc;
    std::unique_ptr<messages::TWindowHandle> m_window;
    bool m_destroying = false;
    bool m_destroyingSignalled = false;
};

} // namespace darvolt
