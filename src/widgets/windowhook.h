#pragma once

#include "toolkit/wincontrol.h"

#include <QObject>

#include <functional>
#include <vector>

namespace darvolt {

class TControlHook;
class THookList;

// Raised before (BeforeMessage) or after (AfterMessage) the watched window
// handles a message. Handled true stops the hooks that would come next and,
// before the window, the window itself (except for WM_DESTROY); Msg.Result
// is then what the window returns.
using THookMessageEvent = std::function<void(QObject *Sender, messages::TMessage &Msg, bool &Handled)>;

// The private messages of the hook list's hidden window; LParam names the
// control hook.
inline constexpr messages::UINT HookReattachMessage = 0xB052;
inline constexpr messages::UINT HookReleaseMessage = 0xB053;

// Watches, and may swallow, the messages of a window it does not own, by
// putting a replacement in front of the window's procedure. All hooks of one
// window share one replacement (a TControlHook); the one attached last hears
// each message first.
class TRxWindowHook : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE setActive)
    Q_PROPERTY(TWinControl *WinControl READ WinControl WRITE setWinControl)
    // The layout's way of saying "the owner form": true when the target is
    // the owner form, and setting it true makes the owner form the target.
    Q_PROPERTY(bool IsForm READ IsForm WRITE setIsForm)

public:
    explicit TRxWindowHook(QObject *owner = nullptr);
    ~TRxWindowHook() override;

    bool Active() const { return m_active; }
    void setActive(bool active);
    TWinControl *WinControl() const { return m_winControl; }
    void setWinControl(TWinControl *control);
    bool IsForm() const;
    void setIsForm(bool isForm);

    // The target is kept in a layout only when it is not the owner form
    // (that is IsForm's job); IsForm only when it differs from the ancestor
    // layout's hook, or is true when there is none.
    bool WinControlStored() const;
    bool IsFormStored(const TRxWindowHook *ancestor = nullptr) const;

    // The control hook this hook is attached to, null while detached.
    TControlHook *ControlHook() const { return m_controlHook; }

    THookMessageEvent BeforeMessage;
    THookMessageEvent AfterMessage;

private:
    friend class TControlHook;

    QWidget *OwnerForm() const;
    void Attach();
    void Detach();

    bool m_active = true;
    bool m_destroying = false;
    TWinControl *m_winControl = nullptr;
    QMetaObject::Connection m_targetGone;
    TControlHook *m_controlHook = nullptr;
};

// The one replacement window procedure of a hooked window, with the hooks
// attached to it in the order they were attached.
class TControlHook
{
public:
    explicit TControlHook(TWinControl *control);
    ~TControlHook();
    TControlHook(const TControlHook &) = delete;
    TControlHook &operator=(const TControlHook &) = delete;

    TWinControl *Control() const { return m_control; }
    // A number no other control hook of this run has; the private messages
    // carry it, so a message for a control hook that has gone finds nothing.
    quint64 Id() const { return m_id; }
    const std::vector<TRxWindowHook *> &Hooks() const { return m_hooks; }
    const messages::WNDPROC &Procedure() const { return m_procedure; }
    const messages::WNDPROC &PreviousProcedure() const { return m_previous; }
    bool IsDestroying() const { return m_destroying; }

    void AddHook(TRxWindowHook *hook);
    void RemoveHook(TRxWindowHook *hook);

    // Puts the replacement in front of the window's procedure (making the
    // window first if need be).
    void HookControl();
    // Takes the replacement out again if it is still the window's current
    // procedure; a later subclass is left alone, and the replacement then
    // passes every message straight on.
    void UnhookControl();

private:
    friend class THookList;

    messages::LRESULT WindowProc(messages::HWND window, messages::UINT msg, messages::WPARAM wParam,
                                 messages::LPARAM lParam);
    void NotifyHooks(bool before, messages::TMessage &message, bool &handled);
    messages::LRESULT CallPrevious(messages::HWND window, const messages::TMessage &message) const;

    quint64 m_id;
    TWinControl *m_control;
    QMetaObject::Connection m_controlGone;
    std::vector<TRxWindowHook *> m_hooks;
    messages::WNDPROC m_procedure;
    messages::WNDPROC m_previous;
    messages::HWND m_window{};     // the window our replacement sits in
    bool m_chained = false;
    bool m_destroying = false;
    int m_callDepth = 0;
    bool m_releasePending = false;
};

// All control hooks of the process, and the hidden window that re-hooks
// re-created windows and frees unused control hooks when their messages come.
// Made on first use, destroyed with the application object.
class THookList
{
public:
    static THookList &Instance();
    static THookList *Existing();

    TControlHook *Find(const TWinControl *control) const;
    TControlHook *FindById(quint64 id) const;
    TControlHook *Obtain(TWinControl *control);
    std::size_t Count() const { return m_hooks.size(); }
    messages::HWND Window() const;

    void PostReattach(const TControlHook *hook);
    void PostRelease(const TControlHook *hook);

    // Frees a control hook now, or as soon as its procedure has returned.
    void Release(TControlHook *hook);

    ~THookList();

private:
    friend class TControlHook;

    THookList();
    messages::LRESULT HandleMessage(messages::UINT msg, messages::LPARAM lParam);
    void Remove(TControlHook *hook);

    std::vector<TControlHook *> m_hooks;
    std::unique_ptr<messages::TWindowHandle> m_window;
};

} // namespace darvolt
