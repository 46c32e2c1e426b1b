#pragma once

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace darvolt {

class TMessageForm;

// The modal message dialogs of the program, in the four kinds its messages
// come in. Every dialog is application-modal, centred on the screen, and
// shows its text as plain text, so that a file name can never turn into
// markup.
enum class TMsgDlgKind {
    Error,       // title "Error", error icon, one OK
    Information, // title "Information", information icon, one OK
    Plain,       // the application title, no icon, one OK
    Prompt,      // the given title, no icon, OK and Cancel
    Question,    // the application title, no icon, Yes and No
};

// What a dialog answers.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

struct TMessageDialogRequest {
    TMsgDlgKind kind = TMsgDlgKind::Plain;
    QString title;
    QString text;
    // What only some want to read (the digests of a damaged part): kept
    // out of the text, behind the box's Details button.
    QString details = {};
};

// The title a dialog of that kind gets; a prompt keeps the title it is
// given, and a plain dialog or a question takes the application's title.
QString MessageDialogTitle(TMsgDlgKind kind, const QString &promptTitle = {});

// The dialog as it will be shown, built but not yet shown: for the seam's
// default and for tests that look at it. It centres itself on the screen
// whenever it is shown.
std::unique_ptr<TMessageForm> CreateMessageDialog(const TMessageDialogRequest &request);

// Moves a top-level window to the centre of the screen it would appear on.
void CenterOnScreen(QWidget *window);

// The one way every message dialog is shown. The default builds the dialog
// above, runs it modally and answers mrOk or mrCancel (closing a prompt
// counts as Cancel), or mrYes or mrNo for a question (closing it is No). Tests put a function of their own here to see and
// answer the dialogs without opening any.
using TMessageDialogHandler = std::function<int(const TMessageDialogRequest &)>;

// Installs a handler and returns the previous one; an empty handler brings
// back the default.
TMessageDialogHandler SetMessageDialogHandler(TMessageDialogHandler handler);

int MessageDialog(TMsgDlgKind kind, const QString &text, const QString &promptTitle = {},
                  const QString &details = {});

inline void ShowErrorDialog(const QString &text, const QString &details = {})
{
    MessageDialog(TMsgDlgKind::Error, text, {}, details);
}
inline void ShowInformationDialog(const QString &text) { MessageDialog(TMsgDlgKind::Information, text); }
inline void ShowPlainDialog(const QString &text) { MessageDialog(TMsgDlgKind::Plain, text); }
// True only for OK.
inline bool AskOkCancel(const QString &title, const QString &text)
{
    return MessageDialog(TMsgDlgKind::Prompt, text, title) == mrOk;
}
// True only for Yes.
inline bool AskYesNo(const QString &text)
{
    return MessageDialog(TMsgDlgKind::Question, text) == mrYes;
}

} // namespace darvolt
