#include "toolkit/wincontrol.h"

namespace darvolt {

using namespace messages;

TWinControl::TWinControl(QWidget *parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    m_ownProc = MakeWindowProc([this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
        TMessage message{msg, wParam, lParam, 0};
        WndProc(message);
        return message.Result;
    });
}

TWinControl::~TWinControl()
{
    BeginDestroy();
    // Whoever still holds our procedure in a chain reaches nothing of ours.
    m_ownProc->Rebind(DefWindowProc);
}

void TWinControl::BeginDestroy()
{
    if (m_destroyingSignalled)
        return;
    m_destroying = true;
    DestroyHandle();
    m_destroyingSignalled = true;
    Q_EMIT Destroying(this);
}

HWND TWinControl::Handle()
{
    HandleNeeded();
    return WindowHandle();
}

HWND TWinControl::WindowHandle() const
{
    return m_window ? m_window->Handle() : HWND{};
}

bool TWinControl::HandleAllocated() const
{
    return m_window != nullptr;
}

void TWinControl::HandleNeeded()
{
    if (m_window || m_destroying)
        return;
    m_window = std::make_unique<TWindowHandle>(m_ownProc);
    WindowCreated();
}

void TWinControl::DestroyHandle()
{
    if (!m_window)
        return;
    const HWND window = m_window->Handle();
    try {
        SendMessage(window, WM_DESTROY);
    } catch (...) {
        HandleApplicationException(std::current_exception());
    }
    m_window.reset();
}

void TWinControl::RecreateWnd()
{
    if (!m_window)
        return;
    DestroyHandle();
    HandleNeeded();
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam)
{
    TMessage message{msg, wParam, lParam, 0};
    WndProc(message);
    return message.Result;
}

LRESULT TWinControl::Deliver(UINT msg, WPARAM wParam, LPARAM lParam)
{
    try {
        return SendMessage(Handle(), msg, wParam, lParam);
    } catch (...) {
        HandleApplicationException(std::current_exception());
        return 0;
    }
}

void TWinControl::WndProc(TMessage &message)
{
    message.Result = DefWindowProc(WindowHandle(), message.Msg, message.WParam, message.LParam);
}

} // namespace darvolt
