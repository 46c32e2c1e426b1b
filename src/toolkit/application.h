#pragma once

#include "toolkit/messages.h"
#include "toolkit/wndproc.h"

#include <QApplication>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <exception>
#include <functional>

class QMimeData;

namespace darvolt {

// One drop of files from the desktop: the local paths it carried, in the
// order the file manager listed them. The application owns it for the
// length of the message; DragFinish tells it the receiver is done with it.
class TDropFiles
{
public:
    explicit TDropFiles(QStringList files) : m_files(std::move(files)) {}

    const QStringList &Files() const { return m_files; }
    bool Finished() const { return m_finished; }
    void Finish()
    {
        m_finished = true;
        m_files.clear();
    }

private:
    QStringList m_files;
    bool m_finished = false;
};

namespace messages {

// Files dropped from the desktop's file managers reach our windows as this
// message, its WParam the drop.
inline constexpr UINT WM_DROPFILES = 0x0233;

using HDROP = TDropFiles *;

inline WPARAM DropParam(HDROP drop)
{
    return reinterpret_cast<WPARAM>(drop);
}

inline HDROP DropFromParam(WPARAM wParam)
{
    return reinterpret_cast<HDROP>(wParam);
}

} // namespace messages

// The number of files in the drop.
int DragQueryFileCount(messages::HDROP drop);
// The path of file number `index`, whole; empty when there is no such file
// or the drop has been finished.
QString DragQueryFile(messages::HDROP drop, int index);
void DragFinish(messages::HDROP drop);

// The local files a drag carries (text/uri-list); anything that is not a
// local file is left out.
QStringList DroppedFiles(const QMimeData *data);

// Registers (or unregisters) a top-level window for files dropped from the
// desktop: drags of files over it are accepted, and a drop arrives as
// WM_DROPFILES through the application's OnMessage hook and then the window.
void DragAcceptFiles(QWidget *window, bool accept);
bool AcceptsDroppedFiles(const QWidget *window);

// One message as the application-wide hook sees it. Drops of files are
// WM_DROPFILES; every other event for a widget is passed as WM_NULL with the
// Qt event attached.
struct TMsg
{
    messages::HWND hwnd{};
    messages::UINT message = messages::WM_NULL;
    messages::WPARAM wParam = 0;
    messages::LPARAM lParam = 0;
    QObject *receiver = nullptr;
    QEvent *event = nullptr;
};

// Handled true keeps the message from the window it was meant for.
using TMessageEvent = std::function<void(TMsg &Msg, bool &Handled)>;

// Help commands of HelpCommand.
inline constexpr messages::UINT HELP_CONTEXT = 0x0001;
inline constexpr messages::UINT HELP_FINDER = 0x000B;

// The application title that plain dialogs carry; "Darvolt" once the
// program has set it, the application's name before.
QString CurrentApplicationTitle();

// The application object of the program: it sees every event before the
// widget it is meant for (OnMessage), turns file drops into WM_DROPFILES,
// opens the help file for F1 and the Help command, and shows an exception
// that escapes an event handler in an error box, after which the program
// goes on.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    QString Title() const { return CurrentApplicationTitle(); }
    void SetTitle(const QString &title);

    // The manual; HTML, opened in the desktop's browser.
    QString HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString &path) { m_helpFile = path; }

    // HELP_FINDER opens the manual at its contents, HELP_CONTEXT at the
    // topic numbered `data`. A manual that is not there is reported in an
    // error box, and so is a desktop without a browser, once its opener has
    // said so. False when nothing was opened.
    bool HelpCommand(messages::UINT command, quintptr data);
    bool HelpContext(int context);
    // Where the manual opens for a topic number.
    QUrl HelpUrl(int context) const;

    // The route to the desktop's browser; tests replace it. Returns the
    // previous one; an empty function brings back the default.
    using THelpOpener = std::function<bool(const QUrl &)>;
    static THelpOpener SetHelpOpener(THelpOpener opener);

    // The application-wide hook.
    TMessageEvent OnMessage;

    // Handles what is pending and returns.
    static void ProcessMessages();
    // Asks the message loop to end once the handler that runs now returns.
    void Terminate();
    bool Terminated() const { return m_terminated; }

    // Shows the exception's message in an error box.
    void ShowException(std::exception_ptr error);

    // True when an argument is "/" or "-" followed by REGSERVER or
    // UNREGSERVER in any letter case: the program then ends at once.
    static bool FindRegistrationSwitch(const QStringList &arguments);

    bool notify(QObject *receiver, QEvent *event) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool filterDrag(QWidget *widget, QEvent *event);
    bool filterHelpKey(QWidget *widget, QEvent *event);
    bool filterToggleShortcut(QWidget *widget, QEvent *event);
    bool dispatchHook(QWidget *widget, QEvent *event);

    QString m_helpFile;
    bool m_terminated = false;
    TExceptionHandler m_previousHandler;
};

// The application object, or null when the process runs a plain
// QApplication (as some tests do).
TApplication *Application();

// The help topic of a widget: its own "HelpContext" property, or the first
// one found on its parents up to its window; 0 for none.
int HelpContextOf(const QWidget *widget);

} // namespace darvolt
