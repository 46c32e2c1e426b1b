#pragma once
// What the window tests share: the application object as the program makes
// it, and stand-ins at the seams where the program would meet the user or
// the desktop (message dialogs, the file dialog, the browser, links), so
// that no test ever opens a real dialog or starts a program.

#include "app/startup.h"
#include "toolkit/application.h"
#include "toolkit/dialogs.h"
#include "widgets/filenamedialog.h"
#include "widgets/prourl.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <deque>
#include <functional>
#include <vector>

// The test's main: the program's own application object and preparation
// (title, classic style, substituted fonts), at the designed 96 dpi, with
// the user's settings (Write recovery data) kept apart from the real ones
// and from those of the other window tests, which run at the same time: one
// that ticks Write recovery data must not make another's split write them.
#define DARVOLT_APP_TEST_MAIN(TestObject)                                                            \
    int main(int argc, char **argv)                                                                  \
    {                                                                                                \
        QStandardPaths::setTestModeEnabled(true);                                                    \
        const QTemporaryDir settings;                                                                \
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());          \
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi, true);                                       \
        darvolt::TApplication app(argc, argv);                                                       \
        darvolt::PrepareApplication(app);                                                            \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                     \
        TestObject test;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                   \
        return QTest::qExec(&test, argc, argv);                                                      \
    }

// Records every message dialog and answers it: prompts from the queue of
// answers (OK when it is empty) or from a function given by the test.
class DialogRecorder
{
public:
    DialogRecorder()
    {
        m_previous = darvolt::SetMessageDialogHandler([this](const darvolt::TMessageDialogRequest &request) {
            shown.push_back(request);
            if (onShow)
                onShow(request);
            if (request.kind == darvolt::TMsgDlgKind::Question)
                return questionAnswer;
            if (request.kind != darvolt::TMsgDlgKind::Prompt)
                return darvolt::mrOk;
            if (promptAnswer)
                return promptAnswer(request);
            if (answers.empty())
                return darvolt::mrOk;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~DialogRecorder() { darvolt::SetMessageDialogHandler(std::move(m_previous)); }
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    QStringList texts(darvolt::TMsgDlgKind kind) const
    {
        QStringList out;
        for (const auto &request : shown)
            if (request.kind == kind)
                out << request.text;
        return out;
    }

    std::vector<darvolt::TMessageDialogRequest> shown;
    std::deque<int> answers;
    int questionAnswer = darvolt::mrNo;
    std::function<int(const darvolt::TMessageDialogRequest &)> promptAnswer;
    std::function<void(const darvolt::TMessageDialogRequest &)> onShow;

private:
    darvolt::TMessageDialogHandler m_previous;
};

// Answers the file dialog in place of the user.
class FileDialogScript
{
public:
    explicit FileDialogScript(QString choice, bool confirm = true)
    {
        m_previous = darvolt::FileDialogRunner();
        darvolt::FileDialogRunner() = [this, choice, confirm](darvolt::TFileNameDialog &dialog, QWidget *) {
            ++runs;
            title = dialog.Title;
            if (confirm) {
                dialog.FileName = choice;
                dialog.Files = QStringList{choice};
            }
            return confirm;
        };
    }
    // One answer a run, in order; an empty one cancels.
    explicit FileDialogScript(QStringList choices)
    {
        m_previous = darvolt::FileDialogRunner();
        darvolt::FileDialogRunner() = [this, choices](darvolt::TFileNameDialog &dialog, QWidget *) {
            const QString choice = choices.value(runs++);
            title = dialog.Title;
            titles << dialog.Title;
            proposed << dialog.FileName;
            shownFilters << darvolt::QtNameFilters(dialog.Filter).value(dialog.FilterIndex - 1);
            if (!choice.isEmpty()) {
                dialog.FileName = choice;
                dialog.Files = QStringList{choice};
            }
            return !choice.isEmpty();
        };
    }
    ~FileDialogScript() { darvolt::FileDialogRunner() = std::move(m_previous); }
    FileDialogScript(const FileDialogScript &) = delete;
    FileDialogScript &operator=(const FileDialogScript &) = delete;

    int runs = 0;
    QString title;
    QStringList titles; // of every run, with a list of answers
    QStringList proposed; // the file name each run proposed, with a list of answers
    QStringList shownFilters; // the name filter each run showed first, with a list of answers

private:
    darvolt::FileDialogRunnerFn m_previous;
};

// Keeps the browser and the link handler closed, noting what they were
// asked to open.
class DesktopRecorder
{
public:
    DesktopRecorder()
    {
        m_previousHelp = darvolt::TApplication::SetHelpOpener([this](const QUrl &url) {
            help << url;
            return true;
        });
        m_previousLink = darvolt::LinkOpener();
        darvolt::LinkOpener() = [this](const QString &link) { links << link; };
    }
    ~DesktopRecorder()
    {
        darvolt::TApplication::SetHelpOpener(std::move(m_previousHelp));
        darvolt::LinkOpener() = std::move(m_previousLink);
    }
    DesktopRecorder(const DesktopRecorder &) = delete;
    DesktopRecorder &operator=(const DesktopRecorder &) = delete;

    QList<QUrl> help;
    QStringList links;

private:
    darvolt::TApplication::THelpOpener m_previousHelp;
    darvolt::LinkOpenerFn m_previousLink;
};

// Drags local files onto a widget and drops them there, the way a file
// manager's drag arrives: enter, move, drop, each through the application.
// Answers whether the drop was accepted.
inline bool DropFilesOn(QWidget *target, const QStringList &paths, QPoint pos = {5, 5})
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(pos), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// A file of the given size filled with a pattern that tells its bytes apart.
inline QByteArray PatternBytes(qint64 size, int seed = 7)
{
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[static_cast<int>(i)] = static_cast<char>((i * 131 + seed + i / 1024) & 0xFF);
    return bytes;
}

inline bool WriteFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
