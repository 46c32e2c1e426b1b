// The main window's "Join parts..." command: the title band's menu item, the
// file dialog, and the window as the join engine's view.
#include "app/tform4.h"

#include "join/joinfile.h"
#include "join/joinview.h"
#include "toolkit/dialogs.h"
#include "widgets/filenamedialog.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QTimer>

namespace darvolt {

namespace {

// The join shown as a split is: the progress bar, the status bar, an error
// dialog for every failure, and one closing information box, which also
// carries which convention another tool's parts follow and the warnings (a
// join that nothing could check) rather than stopping the run with boxes of
// their own. A set that does not tell the joined file's name asks for it in
// a save dialog.
class WindowJoinView final : public darvolt::JoinView
{
public:
    explicit WindowJoinView(TForm4 &form) : m_form(form) {}

    void setProgress(std::int64_t doneKb, std::int64_t totalKb) override
    {
        m_form.setProgressMaximum(totalKb);
        m_form.setProgressPosition(doneKb);
    }
    void setStatusText(const std::string &text) override { m_form.setStatusText(text); }
    // The engine words a failure to open as a console does, after the
    // program's name ("cannot open 'x': ..."); a box begins a sentence.
    void showError(const std::string &text) override
    {
        std::string sentence = text;
        if (!sentence.empty() && sentence.front() >= 'a' && sentence.front() <= 'z')
            sentence.front() = static_cast<char>(sentence.front() - 'a' + 'A');
        m_form.showError(sentence);
    }
    void showDamaged(const darvolt::DamagedPart &damage) override
    {
        // The status bar names the part the box is about, whichever part
        // the run had gone on to read.
        m_form.setStatusText("Damaged: " + damage.part);
        if (m_form.Quitting()) {
            darvolt::JoinView::showDamaged(damage);
            return;
        }
        const QString part = FileNameText(damage.part);
        const QString source = FileNameText(damage.source);
        const QString digest = QString::fromStdString(damage.digest);
        QString details = QObject::tr("%1 of %2:\n  %3\n%1 that %4 lists:\n  %5")
                              .arg(digest, part, QString::fromStdString(damage.found), source,
                                   QString::fromStdString(damage.expected));
        if (!damage.sizeRemark.empty())
            details += QObject::tr("\nIts size: %1.").arg(QString::fromStdString(damage.sizeRemark));
        ShowErrorDialog(QObject::tr("Part %1 is damaged: its %2 is not the one %3 lists, so its bytes are not "
                                    "the ones that were split.\n\nFetch this part again from where the set came "
                                    "from. To be able to rebuild a damaged part next time, turn on \"Write "
                                    "recovery data\" in the title band's menu before splitting.")
                            .arg(part, digest, source),
                        details);
    }
    void showWarning(const std::string &text) override { m_warnings.push_back(text); }
    void showNote(const std::string &text) override { m_warnings.push_back(text); }
    void showInformation(const std::string &text) override
    {
        std::string all = text + ".";
        for (const std::string &warning : m_warnings)
            all += "\n\n" + warning + ".";
        m_form.showInformation(all);
    }
    void showCheck(const std::string &, bool) override {}
    bool confirmReplace(const std::string &path) override
    {
        return !m_form.Quitting()
               && AskOkCancel(QString::fromLatin1(darvolt::ApplicationTitle),
                              QObject::tr("%1 already exists.\nReplace it with the joined file?")
                                  .arg(FileNameText(path)));
    }
    // Parts that only a CRC32 would check once rebuilt: the user's word,
    // No unless they give it.
    bool trustRecovery(const std::string &why) override { return !m_form.Quitting() && AskYesNo(FileNameText(why)); }
    std::string chooseOutput(const std::string &, const std::string &suggestion) override
    {
        if (m_form.Quitting())
            return {};
        TFileNameDialog dialog;
        dialog.DialogKind = TFileNameDialog::Kind::Save;
        dialog.Title = QObject::tr("Save the joined file as");
        dialog.FileName = FileNameText(suggestion);
        dialog.Options = TFileNameDialog::ofHideReadOnly | TFileNameDialog::ofPathMustExist;
        return dialog.Execute(&m_form) ? FileNameBytes(dialog.FileName) : std::string();
    }
    void processPendingMessages() override { m_form.processPendingMessages(); }

private:
    TForm4 &m_form;
    std::vector<std::string> m_warnings;
};

} // namespace

namespace {

QSettings DarvoltSettings()
{
    return QSettings(QStringLiteral("Darvolt"), QStringLiteral("darvolt"));
}

const QString RecoveryKey = QStringLiteral("split/writeRecoveryData");

// An item whose command opens a dialog or asks a question with the window's
// messages going on (a join runs for a while). Queued, so that the menu,
// rebuilt each time it opens, never holds an action that is still in the
// middle of its own trigger.
template <class Command>
QAction *addQueued(QMenu *menu, const QString &text, const char *name, TForm4 *form, Command command)
{
    QAction *action = menu->addAction(text, form, [form, command] {
        QTimer::singleShot(0, form, [form, command] { (form->*command)(form); });
    });
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

bool TForm4::WriteRecoveryData() const
{
    return DarvoltSettings().value(RecoveryKey, false).toBool();
}

void TForm4::SetWriteRecoveryData(bool write)
{
    QSettings settings = DarvoltSettings();
    if (settings.value(RecoveryKey, false).toBool() == write)
        return;
    settings.setValue(RecoveryKey, write);
}

void TForm4::AddSystemMenuItems(QMenu *menu)
{
    // A choice for the splits to come, kept for the next start; a run that
    // is going on keeps what it started with.
    QAction *recovery = menu->addAction(tr("Write recovery &data"));
    recovery->setObjectName(QStringLiteral("WriteRecoveryData"));
    recovery->setCheckable(true);
    recovery->setChecked(WriteRecoveryData());
    connect(recovery, &QAction::toggled, this, [this](bool on) { SetWriteRecoveryData(on); });
    QAction *join = addQueued(menu, tr("&Join parts..."), "JoinParts", this, &TForm4::JoinPartsClick);
    // One run at a time, as the Split button.
    join->setEnabled(!m_running);
    // Where the parts of the next split go; the one under way keeps its own.
    const bool chosen = !m_partsFolder.isEmpty();
    QAction *folder = addQueued(menu, tr("Parts &folder..."), "PartsFolder", this, &TForm4::PartsFolderClick);
    QAction *beside = menu->addAction(tr("&Beside the file"), this, [this] { BesideTheFileClick(this); });
    beside->setObjectName(QStringLiteral("BesideTheFile"));
    for (QAction *where : {folder, beside}) {
        where->setCheckable(true);
        where->setEnabled(!m_running);
    }
    folder->setChecked(chosen);
    beside->setChecked(!chosen);
    if (m_running)
        addQueued(menu, tr("&Stop"), "StopRun", this, &TForm4::StopClick);
}

void TForm4::PartsFolderClick(QObject *)
{
    if (m_running)
        return;
    TFileNameDialog dialog;
    dialog.DialogKind = TFileNameDialog::Kind::Folder;
    dialog.Title = tr("Parts folder");
    // Starting where the parts would go now, or beside the file.
    const QFileInfo file(ui.FilenameEdit1->text());
    dialog.InitialDir = !m_partsFolder.isEmpty() ? m_partsFolder
                        : file.isFile()           ? file.absolutePath()
                                                  : QDir::homePath();
    if (dialog.Execute(this))
        SetPartsFolder(QDir::cleanPath(dialog.FileName));
}

void TForm4::BesideTheFileClick(QObject *)
{
    if (!m_running)
        SetPartsFolder({});
}

void TForm4::JoinPartsClick(QObject *)
{
    if (m_running)
        return;
    TFileNameDialog dialog;
    dialog.Title = tr("Join parts");
    // Every file first: other tools' parts are named any way (xaa, a.part-ab).
    dialog.Filter = tr("All files (*.*)|*.*|Parts and checksum files|*.!*;*.sha256;*.001;*.crc");
    dialog.Options = TFileNameDialog::ofHideReadOnly | TFileNameDialog::ofFileMustExist;
    // Where a split of the file in the field has put its parts, if it has.
    const QString parts = ui.Edit1->text();
    if (!parts.isEmpty() && QFileInfo(parts).isDir())
        dialog.InitialDir = parts;
    if (!dialog.Execute(this))
        return;

    const darvolt::JoinOptions options(m_options); // the window's own, as a split takes them
    const std::string input = FileNameBytes(dialog.FileName);
    // After a split the Split button is enabled as a matter of course; a
    // join leaves it as it found it (nothing can change the field meanwhile).
    const bool splitEnabled = ui.FlatSpeedButton1->isEnabled();
    RunHeld(RunKind::Join, [&] {
        WindowJoinView view(*this);
        darvolt::JoinParts(*m_platform, view, input, options);
    });
    ui.FlatSpeedButton1->setEnabled(splitEnabled);
}

} // namespace darvolt
