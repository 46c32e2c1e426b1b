#include "widgets/windowhook.h"

#include "toolkit/form.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <utility>

namespace darvolt {

using namespace messages;

// ---------------------------------------------------------------- TRxWindowHook

TRxWindowHook::TRxWindowHook(QObject *owner) : QObject(owner) {}

TRxWindowHook::~TRxWindowHook()
{
    m_destroying = true;
    setActive(false);
    setWinControl(nullptr);
}

void TRxWindowHook::setActive(bool active)
{
    if (active == m_active)
        return;
    if (active)
        Attach();
    else
        Detach();
}

QWidget *TRxWindowHook::OwnerForm() const
{
    return qobject_cast<TForm *>(parent());
}

bool TRxWindowHook::IsForm() const
{
    return m_winControl && m_winControl == OwnerForm();
}

void TRxWindowHook::setIsForm(bool isForm)
{
    if (isForm)
        if (auto *form = qobject_cast<TForm *>(parent()))
            setWinControl(form);
}

bool TRxWindowHook::WinControlStored() const
{
    return !IsForm();
}

bool TRxWindowHook::IsFormStored(const TRxWindowHook *ancestor) const
{
    return ancestor ? IsForm() != ancestor->IsForm() : IsForm();
}

void TRxWindowHook::Attach()
{
    if (m_winControl && !m_destroying) {
        TControlHook *hook = THookList::Instance().Obtain(m_winControl);
        hook->AddHook(this);
        m_controlHook = hook;
        hook->HookControl();
    }
    m_active = true;
}

void TRxWindowHook::Detach()
{
    if (TControlHook *hook = std::exchange(m_controlHook, nullptr)) {
        hook->RemoveHook(this);
        if (hook->Hooks().empty())
            hook->UnhookControl();
    }
    m_active = false;
}

void TRxWindowHook::setWinControl(TWinControl *control)
{
    if (control == m_winControl)
        return;
    const bool wasActive = m_active;
    TControlHook *old = m_controlHook;
    if (!old && m_winControl)
        if (THookList *list = THookList::Existing())
            old = list->Find(m_winControl);
    Detach();
    QObject::disconnect(m_targetGone);
    m_winControl = control;
    if (control)
        m_targetGone = connect(control, &TWinControl::Destroying, this,
                               [this] { setWinControl(nullptr); });
    // Freed later, when the message comes, not in the middle of this call
    // (which may come from the old control's own message handling).
    if (old && old->Hooks().empty())
        THookList::Instance().PostRelease(old);
    if (wasActive)
        Attach();
}

// ---------------------------------------------------------------- TControlHook

namespace {
quint64 nextControlHookId = 0;
}

TControlHook::TControlHook(TWinControl *control) : m_id(++nextControlHookId), m_control(control)
{
    m_procedure = MakeWindowProc([this](HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        return WindowProc(window, msg, wParam, lParam);
    });
    if (m_control)
        m_controlGone = QObject::connect(m_control, &TWinControl::Destroying,
                                         [this] { m_control = nullptr; });
}

TControlHook::~TControlHook()
{
    m_destroying = true;
    if (THookList *list = THookList::Existing())
        list->Remove(this);
    const std::vector<TRxWindowHook *> hooks = m_hooks;
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        (*it)->Detach();
    UnhookControl();
    QObject::disconnect(m_controlGone);
    m_control = nullptr;
    // Someone who subclassed the window after us may still call our entry:
    // from now on it only passes messages on.
    m_procedure->Rebind([previous = m_previous](HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        return previous ? CallWindowProc(previous, window, msg, wParam, lParam)
                        : DefWindowProc(window, msg, wParam, lParam);
    });
}

void TControlHook::AddHook(TRxWindowHook *hook)
{
    if (std::find(m_hooks.begin(), m_hooks.end(), hook) == m_hooks.end())
        m_hooks.push_back(hook);
}

void TControlHook::RemoveHook(TRxWindowHook *hook)
{
    m_hooks.erase(std::remove(m_hooks.begin(), m_hooks.end(), hook), m_hooks.end());
}

void TControlHook::HookControl()
{
    if (!m_control || m_destroying || m_control->IsDestroying())
        return;
    const HWND window = m_control->Handle();
    if (!IsWindow(window))
        return;
    // Still in this window's chain (behind a later subclass): going in front
    // again would make the chain call itself for ever.
    if (m_chained && m_window == window)
        return;
    const WNDPROC current = GetWindowProc(window);
    if (current != m_procedure) {
        m_previous = current;
        SetWindowProc(window, m_procedure);
    }
    m_window = window;
    m_chained = true;
}

void TControlHook::UnhookControl()
{
    if (m_chained && m_control && IsWindow(m_window)) {
        if (GetWindowProc(m_window) != m_procedure)
            return; // a later subclass holds us; keep passing messages on
        SetWindowProc(m_window, m_previous);
    }
    m_chained = false;
    m_window = HWND{};
    m_previous.reset();
}

LRESULT TControlHook::CallPrevious(HWND window, const TMessage &message) const
{
    const WNDPROC &next = m_previous ? m_previous : (m_control ? m_control->OwnWindowProc() : m_previous);
    if (!next)
        return DefWindowProc(window, message.Msg, message.WParam, message.LParam);
    return CallWindowProc(next, window, message.Msg, message.WParam, message.LParam);
}

LRESULT TControlHook::WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Keeps this object alive until the call is over: a release that comes
    // meanwhile (from a nested event loop) is carried out on the way out.
    struct CallScope
    {
        TControlHook *self;
        explicit CallScope(TControlHook *hook) : self(hook) { ++self->m_callDepth; }
        ~CallScope()
        {
            if (--self->m_callDepth == 0 && std::exchange(self->m_releasePending, false)
                && self->m_hooks.empty())
                delete self;
        }
    } scope(this);

    TMessage message{msg, wParam, lParam, 0};
    if (!m_control) {
        message.Result = CallPrevious(window, message);
        return message.Result;
    }
    bool handled = false;
    if (msg != WM_QUIT)
        NotifyHooks(true, message, handled);
    if (!handled || msg == WM_DESTROY) {
        try {
            message.Result = CallPrevious(window, message);
        } catch (...) {
            NotifyHooks(false, message, handled);
            throw;
        }
        NotifyHooks(false, message, handled);
    }
    if (msg == WM_DESTROY) {
        // The window goes; the hooks stay listed and come back to the window
        // that replaces it.
        if (m_chained && IsWindow(m_window) && GetWindowProc(m_window) == m_procedure)
            SetWindowProc(m_window, m_previous);
        m_chained = false;
        m_window = HWND{};
        m_previous.reset();
        if (THookList::Existing() && !m_destroying && m_control && !m_control->IsDestroying())
            THookList::Existing()->PostReattach(this);
    }
    return message.Result;
}

void TControlHook::NotifyHooks(bool before, TMessage &message, bool &handled)
{
    if (m_hooks.empty() || !m_control || m_destroying || m_control->IsDestroying())
        return;
    std::vector<QPointer<TRxWindowHook>> hooks(m_hooks.begin(), m_hooks.end());
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
        TRxWindowHook *hook = *it;
        if (!hook || hook->m_controlHook != this)
            continue; // detached or gone while an earlier one ran
        const THookMessageEvent &event = before ? hook->BeforeMessage : hook->AfterMessage;
        try {
            if (event)
                event(hook, message, handled);
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
        if (handled)
            break;
    }
}

// ---------------------------------------------------------------- THookList

namespace {

THookList *hookList = nullptr;

void destroyHookList()
{
    delete std::exchange(hookList, nullptr);
}

} // namespace

THookList &THookList::Instance()
{
    if (!hookList) {
        hookList = new THookList;
        qAddPostRoutine(destroyHookList);
    }
    return *hookList;
}

THookList *THookList::Existing()
{
    return hookList;
}

THookList::THookList()
{
    m_window = AllocateHWnd([this](HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        try {
            if (msg == HookReattachMessage || msg == HookReleaseMessage)
                return HandleMessage(msg, lParam);
        } catch (...) {
            HandleApplicationException(std::current_exception());
            return LRESULT(0);
        }
        return DefWindowProc(window, msg, wParam, lParam);
    });
}

THookList::~THookList()
{
    // The list is no longer reachable (Existing() is null by now), so the
    // control hooks cannot take themselves out: take them out here.
    while (!m_hooks.empty()) {
        TControlHook *hook = m_hooks.back();
        m_hooks.pop_back();
        delete hook;
    }
    m_window.reset();
}

HWND THookList::Window() const
{
    return m_window->Handle();
}

TControlHook *THookList::Find(const TWinControl *control) const
{
    const auto it = std::find_if(m_hooks.begin(), m_hooks.end(),
                                 [control](const TControlHook *h) { return h->Control() == control; });
    return it == m_hooks.end() ? nullptr : *it;
}

TControlHook *THookList::FindById(quint64 id) const
{
    const auto it = std::find_if(m_hooks.begin(), m_hooks.end(),
                                 [id](const TControlHook *h) { return h->Id() == id; });
    return it == m_hooks.end() ? nullptr : *it;
}

TControlHook *THookList::Obtain(TWinControl *control)
{
    if (TControlHook *hook = Find(control))
        return hook;
    m_hooks.push_back(new TControlHook(control));
    return m_hooks.back();
}

void THookList::PostReattach(const TControlHook *hook)
{
    PostMessage(Window(), HookReattachMessage, 0, LPARAM(hook->Id()));
}

void THookList::PostRelease(const TControlHook *hook)
{
    PostMessage(Window(), HookReleaseMessage, 0, LPARAM(hook->Id()));
}

void THookList::Release(TControlHook *hook)
{
    if (hook->m_callDepth > 0)
        hook->m_releasePending = true;
    else
        delete hook;
}

void THookList::Remove(TControlHook *hook)
{
    m_hooks.erase(std::remove(m_hooks.begin(), m_hooks.end(), hook), m_hooks.end());
}

LRESULT THookList::HandleMessage(UINT msg, LPARAM lParam)
{
    TControlHook *hook = FindById(quint64(lParam));
    if (!hook)
        return 0; // freed or removed before the message came
    if (msg == HookReattachMessage)
        hook->HookControl();
    else if (hook->Hooks().empty())
        Release(hook);
    return 0;
}

} // namespace darvolt
