#pragma once

#include "platform/platform.h"
#include "split/splitfile.h"
#include "split/splitview.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "widgets/gradientcaption.h"

#include "ui_tform4.h"

#include <QStringList>

class QShortcut;

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace darvolt {

// The main window: the file to split, its size and output folder, the three
// part sizes, and the Split, Help, About and Exit buttons. It builds the
// request from its controls, runs the split engine and is the engine's view:
// the progress bar, the status bar and the message dialogs.
class TForm4 : public TForm, public darvolt::ProgressKeepingView
{
    Q_OBJECT

public:
    // Runs against the given platform, or the real system when it is null.
    explicit TForm4(darvolt::Platform *platform = nullptr, QWidget *parent = nullptr);
    ~TForm4() override;

    // The command-line arguments FormShow looks at, without the program's
    // name; the application's own at first.
    QStringList Arguments() const { return m_arguments; }
    void SetArguments(const QStringList &arguments) { m_arguments = arguments; }

    // The last measured byte size of the selected file: 0 when it could not
    // be opened, 3 when its size is unknown.
    std::int64_t SourceSize() const { return m_sourceSize; }
    bool Running() const { return m_running; }
    // The session is ending (the run's stop flag is up, and not because the
    // user stopped the run): the run's messages go to the log, since nobody
    // is left to answer a box.
    bool Quitting() const;
    // The flag every run stops at: the form's own until the session's end
    // hands over the one its signals raise. Stop raises it too.
    void SetStopFlag(std::atomic<bool> *flag);
    // The session ends (SIGTERM, SIGHUP): a run stops as an interruption,
    // every box, menu and dialog of the program goes as if cancelled, and
    // the window closes, at once or as soon as the run has returned.
    void EndSession();
    // The parts folder of the title band's menu (darvolt-split's
    // --directory); empty: NAME_PARTS beside the file.
    QString PartsFolder() const { return m_partsFolder; }
    void SetPartsFolder(const QString &folder);
    // Exit or the close box was used during the run that goes on: the
    // window closes as soon as that run has returned.
    bool ExitRequested() const { return m_exitRequested; }

    // How the engine runs (file manager, block size, pacing).
    darvolt::SplitOptions &RunOptions() { return m_options; }
    darvolt::Platform &SplitPlatform() const { return *m_platform; }

    // The controls of the layout.
    const Ui::TForm4 &Controls() const { return ui; }

    // Paints the title band as a ramp; it works through the window's
    // messages on its own, so the window never touches it after creating it.
    TRxGradientCaption *RxGradientCaption1 = nullptr;

    // The window's handlers.
    void FormCreate(QObject *Sender);
    void FormShow(QObject *Sender);
    void FormDestroy(QObject *Sender);
    void FormDragOver(QObject *Sender, QObject *Source, int X, int Y, bool &Accept);
    void FilenameEdit1Change(QObject *Sender);
    void UpdateOutputFolder();
    void ProPanel2Click(QObject *Sender);
    void FlatSpeedButton1Click(QObject *Sender);
    void FlatSpeedButton2Click(QObject *Sender);
    void FlatSpeedButton3Click(QObject *Sender);
    void FlatSpeedButton4Click(QObject *Sender);
    void ApplicationMessage(TMsg &Msg, bool &Handled);
    // "Write recovery data" of the title band's menu, kept in the user's
    // settings: splits in a folder write recovery data (PAR2, the default
    // percentage rounded up to whole parts) beside the parts. Off at first.
    bool WriteRecoveryData() const;
    void SetWriteRecoveryData(bool write);
    // "Join parts..." of the title band's menu: asks for a part or checksum
    // file and joins its set with the window showing the run as a split's.
    void JoinPartsClick(QObject *Sender);
    // Escape and "Stop" of the title band's menu during a run: asks whether
    // to stop it, and a Yes ends it as an interruption (the unfinished part
    // deleted, no MERGE.BAT, the interruption message).
    void StopClick(QObject *Sender);
    // "Parts folder..." and "Beside the file" of the title band's menu.
    void PartsFolderClick(QObject *Sender);
    void BesideTheFileClick(QObject *Sender);
    void WMDropFiles(messages::TMessage &Msg);

    // The split engine's view.
    void setStatusText(const std::string &text) override;
    void showError(const std::string &text) override;
    void showInformation(const std::string &text) override;
    void showMessage(const std::string &text) override;
    bool askForDiskette(const std::string &text) override;
    std::optional<std::size_t> chooseMedium(const std::string &text,
                                            const std::vector<darvolt::RemovableMedium> &media) override;
    bool askRetry(const std::string &text) override;
    void showNote(const std::string &text) override;
    void processPendingMessages() override;

    // Where the progress bar stands for 64-bit KB counts: its range and value.
    struct TBarSetting {
        int maximum = 0;
        int value = 0;
    };
    static TBarSetting ProgressBarSetting(std::int64_t maximum, std::int64_t position);

    // Where the manual is looked for: beside the program, then where an
    // installation puts it.
    static QString HelpFileFor(const QString &programFolder);

protected:
    void WndProc(messages::TMessage &message) override;
    void AddSystemMenuItems(QMenu *menu) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void progressChanged() override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    class RunScope;
    enum class RunKind { Split, Join };

    void ConnectHandlers();
    // Runs work (a split or a join) with the window prepared for it and put
    // back afterwards, whatever way it ends.
    void RunHeld(RunKind kind, const std::function<void()> &work);
    // "split" or "join", for the texts about the run under way.
    QString RunName() const;
    void ShowSize(const QString &text);
    // The banner strip's two steps around a run; the strip is held still
    // while the engine works and plays again afterwards.
    void HoldBanner();
    void RestartBanner();

    Ui::TForm4 ui;
    std::unique_ptr<darvolt::Platform> m_ownPlatform;
    darvolt::Platform *m_platform = nullptr;
    darvolt::SplitOptions m_options;
    std::atomic<bool> m_ownStop{false};
    std::atomic<bool> *m_stopFlag = &m_ownStop;
    QShortcut *m_escape = nullptr;
    QStringList m_arguments;
    QString m_partsFolder;
    std::int64_t m_sourceSize = 0;
    RunKind m_runKind = RunKind::Split;
    bool m_running = false;
    bool m_exitRequested = false;
    bool m_stopAsked = false;     // the user said Yes to stopping this run
    bool m_askingStop = false;    // the question is on the screen
    bool m_sessionEnding = false;
    bool m_hookInstalled = false;
};

// Byte strings of the engine and the file system at the Qt boundary.
std::string FileNameBytes(const QString &name);
QString FileNameText(const std::string &bytes);

} // namespace darvolt
