#pragma once

#include "toolkit/messages.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>

namespace darvolt::messages {

// Windows and their window procedures.
//
// A window is a numbered slot (HWND) that owns the window procedure its
// messages go to. The procedure can be replaced ("subclassing"): whoever
// replaces it keeps the previous one and passes on what it does not handle
// with CallWindowProc, so several parties can chain on one window. Forms own
// one such window at a time (wincontrol.h); AllocateHWnd makes a hidden one
// that only receives messages.
//
// All of this belongs to the GUI thread.

// The number of a live window; HWND{} is no window.
enum class HWND : std::uint32_t {};

// One window procedure. Procedures are compared by identity, so a party can
// tell whether its replacement is still the window's current one. An entry
// can be rebound: its owner does that when it goes away while someone later
// in the chain still calls it, so the chain never runs into freed code.
class TWindowProc
{
public:
    using Function = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

    explicit TWindowProc(Function function);

    LRESULT operator()(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const;
    void Rebind(Function function);

private:
    Function m_function;
};

using WNDPROC = std::shared_ptr<TWindowProc>;

WNDPROC MakeWindowProc(TWindowProc::Function function);

// The owner of one window: registers it on construction, unregisters it on
// destruction (after which its number is never valid again).
class TWindowHandle
{
public:
    explicit TWindowHandle(WNDPROC procedure);
    ~TWindowHandle();
    TWindowHandle(const TWindowHandle &) = delete;
    TWindowHandle &operator=(const TWindowHandle &) = delete;

    HWND Handle() const { return m_handle; }

private:
    HWND m_handle;
};

bool IsWindow(HWND window);

// The current procedure of the window, or null when it does not exist.
WNDPROC GetWindowProc(HWND window);

// Installs a procedure and returns the one it replaces (null when the window
// does not exist; nothing is installed then).
WNDPROC SetWindowProc(HWND window, WNDPROC procedure);

// Calls the procedure for the window; a null procedure does nothing and
// returns 0.
LRESULT CallWindowProc(const WNDPROC &procedure, HWND window, UINT msg, WPARAM wParam,
                       LPARAM lParam);

// The handling of last resort: 0 for every message.
LRESULT DefWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs the window's current procedure at once and returns its result (0 when
// the window does not exist). Exceptions of the procedure reach the caller.
LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// Queues the message; it is sent when the event loop comes round to it, or
// dropped if the window has gone by then. Exceptions thrown while it is
// handled go to the application's exception handler. False when the window
// does not exist now.
bool PostMessage(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

// A hidden window whose messages go to the given function; it is destroyed
// with the returned owner.
std::unique_ptr<TWindowHandle> AllocateHWnd(TWindowProc::Function procedure);

} // namespace darvolt::messages

namespace darvolt {

// The application's exception handler: what it does with an exception that
// must not leave a window procedure or cross the event loop. The default
// writes the message to the log; the program installs one that shows it.
using TExceptionHandler = std::function<void(std::exception_ptr)>;

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler);
void HandleApplicationException(std::exception_ptr error);

// The text of an exception as a user would read it.
QString ExceptionMessage(std::exception_ptr error);

} // namespace darvolt
