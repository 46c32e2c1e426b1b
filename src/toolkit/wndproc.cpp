#include "toolkit/wndproc.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QObject>
#include <QPointer>

#include <unordered_map>

namespace darvolt {

namespace {

Q_LOGGING_CATEGORY(lcWindows, "darvolt.windows")

} // namespace

namespace messages {

namespace {

struct WindowSlot
{
    WNDPROC procedure;
};

// Windows by number. Numbers are never reused, so a message posted to a
// window that has gone cannot reach a newer one.
struct WindowTable
{
    std::unordered_map<std::uint32_t, WindowSlot> windows;
    std::uint32_t lastNumber = 0;
};

WindowTable &table()
{
    static WindowTable instance;
    return instance;
}

WindowSlot *findSlot(HWND window)
{
    auto &windows = table().windows;
    const auto it = windows.find(static_cast<std::uint32_t>(window));
    return it == windows.end() ? nullptr : &it->second;
}

const QEvent::Type PostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessage : public QEvent
{
public:
    PostedMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
        : QEvent(PostedMessageEvent), window(window), msg(msg), wParam(wParam), lParam(lParam)
    {
    }
    HWND window;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// Receives the posted messages on the GUI thread and sends them on.
class PostOffice : public QObject
{
public:
    using QObject::QObject;

protected:
    void customEvent(QEvent *event) override
    {
        if (event->type() != PostedMessageEvent)
            return;
        const auto *posted = static_cast<PostedMessage *>(event);
        try {
            SendMessage(posted->window, posted->msg, posted->wParam, posted->lParam);
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
    }
};

PostOffice *postOffice()
{
    // Owned by the application object, so it goes with it.
    static QPointer<PostOffice> office;
    if (!office)
        office = new PostOffice(QCoreApplication::instance());
    return office;
}

} // namespace

TWindowProc::TWindowProc(Function function) : m_function(std::move(function)) {}

LRESULT TWindowProc::operator()(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) const
{
    // A copy, so that rebinding from inside the call cannot free the code
    // that is running.
    const Function function = m_function;
    return function ? function(window, msg, wParam, lParam) : 0;
}

void TWindowProc::Rebind(Function function)
{
    m_function = std::move(function);
}

WNDPROC MakeWindowProc(TWindowProc::Function function)
{
    return std::make_shared<TWindowProc>(std::move(function));
}

TWindowHandle::TWindowHandle(WNDPROC procedure)
{
    auto &t = table();
    m_handle = static_cast<HWND>(++t.lastNumber);
    t.windows.emplace(t.lastNumber, WindowSlot{std::move(procedure)});
}

TWindowHandle::~TWindowHandle()
{
    // Moved out first: releasing the chain may run destructors that look
    // the window up again.
    WNDPROC chain;
    if (WindowSlot *slot = findSlot(m_handle))
        chain = std::move(slot->procedure);
    table().windows.erase(static_cast<std::uint32_t>(m_handle));
}

bool IsWindow(HWND window)
{
    return findSlot(window) != nullptr;
}

WNDPROC GetWindowProc(HWND window)
{
    const WindowSlot *slot = findSlot(window);
    return slot ? slot->procedure : nullptr;
}

WNDPROC SetWindowProc(HWND window, WNDPROC procedure)
{
    WindowSlot *slot = findSlot(window);
    if (!slot)
        return nullptr;
    std::swap(slot->procedure, procedure);
    return procedure;
}

LRESULT CallWindowProc(const WNDPROC &procedure, HWND window, UINT msg, WPARAM wParam,
                       LPARAM lParam)
{
    if (!procedure)
        return 0;
    const WNDPROC keep = procedure; // the entry outlives the call
    return (*keep)(window, msg, wParam, lParam);
}

LRESULT DefWindowProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

LRESULT SendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProc(GetWindowProc(window), window, msg, wParam, lParam);
}

bool PostMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(window) || !QCoreApplication::instance())
        return false;
    QCoreApplication::postEvent(postOffice(), new PostedMessage(window, msg, wParam, lParam));
    return true;
}

std::unique_ptr<TWindowHandle> AllocateHWnd(TWindowProc::Function procedure)
{
    return std::make_unique<TWindowHandle>(MakeWindowProc(std::move(procedure)));
}

} // namespace messages

namespace {

TExceptionHandler &exceptionHandler()
{
    static TExceptionHandler handler;
    return handler;
}

} // namespace

TExceptionHandler SetApplicationExceptionHandler(TExceptionHandler handler)
{
    std::swap(exceptionHandler(), handler);
    return handler;
}

QString ExceptionMessage(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
    return {};
}

void HandleApplicationException(std::exception_ptr error)
{
    if (!error)
        return;
    // A handler that throws must not take the message loop down either.
    try {
        if (const TExceptionHandler &handler = exceptionHandler()) {
            handler(error);
            return;
        }
    } catch (...) {
        error = std::current_exception();
    }
    qCWarning(lcWindows).noquote() << ExceptionMessage(error);
}

} // namespace darvolt
