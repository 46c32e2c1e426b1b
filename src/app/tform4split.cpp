// The main window's Split button and its part as the split engine's view.
#include "app/tform4.h"

#include "app/mediumdialog.h"
#include "split/recoverydata.h"
#include "split/splitrequest.h"
#include "split/splittexts.h"
#include "toolkit/dialogs.h"
#include "toolkit/wndproc.h"

#include <QShortcut>
#include <QTimer>

#include <limits>
#include <utility>

namespace darvolt {

// Puts the window back the way it was before the run on every way out of
// it, an exception included.
class TForm4::RunScope
{
public:
    explicit RunScope(TForm4 &form) : m_form(form), m_status(form.ui.StatusBar1->SimpleText())
    {
        m_form.m_running = true;
    }
    ~RunScope()
    {
        Ui::TForm4 &ui = m_form.ui;
        m_form.m_running = false;
        m_form.m_escape->setEnabled(false);
        // The user's stop ends with its run; a session's end stays raised.
        if (std::exchange(m_form.m_stopAsked, false) && !m_form.m_sessionEnding)
            m_form.m_stopFlag->store(false);
        ui.FlatSpeedButton1->setEnabled(true);
        // Runs inside a destructor: a failure to restart is reported and the
        // rest of the window is still put back.
        try {
            m_form.RestartBanner();
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
        ui.ProgressBar1->hide();
        ui.StatusBar1->setSimpleText(m_status);
        ui.FilenameEdit1->setEnabled(true);
        ui.RadioButton1->setEnabled(true);
        ui.RadioButton2->setEnabled(true);
        ui.RadioButton3->setEnabled(true);
        // An Exit during the run takes effect now, once the handler that ran
        // it has returned; whatever way the run ended.
        if (m_form.m_exitRequested)
            QTimer::singleShot(0, &m_form, [form = &m_form] { form->close(); });
    }
    RunScope(const RunScope &) = delete;
    RunScope &operator=(const RunScope &) = delete;

private:
    TForm4 &m_form;
    QString m_status;
};

void TForm4::FlatSpeedButton1Click(QObject *)
{
    // The button is disabled during a run, but a click queued before that
    // must not start a run inside the running one either.
    if (m_running)
        return;
    const darvolt::SizeMode mode = darvolt::SizeModeFromRadios(
        ui.RadioButton1->isChecked(), ui.RadioButton2->isChecked(), ui.RadioButton3->isChecked());
    const darvolt::RequestResult built =
        darvolt::BuildSplitRequest(FileNameBytes(ui.FilenameEdit1->text()), mode, ui.Edit2->text().toStdString(),
                                   m_sourceSize, *this);
    if (built.status == darvolt::RequestStatus::CustomSizeRejected) {
        ui.Edit2->selectAll();
        ui.Edit2->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (built.status != darvolt::RequestStatus::Ready)
        return; // the engine has shown why

    darvolt::SplitOptions options = m_options;
    options.recoveryPercent = WriteRecoveryData() ? darvolt::DefaultRecoveryPercent : 0;
    darvolt::SplitRequest request = built.request;
    if (request.partSize != 0)
        request.outputFolder = FileNameBytes(m_partsFolder);
    RunHeld(RunKind::Split, [&] {
        SplitFile(*m_platform, *this, request, options);
    });
}

void TForm4::StopClick(QObject *)
{
    // One question at a time, and none once the answer is in or the
    // session is ending (the run stops by itself then).
    if (!m_running || m_stopAsked || m_askingStop || Quitting())
        return;
    m_askingStop = true;
    const bool stop = AskYesNo(tr("Stop the %1?").arg(RunName()));
    m_askingStop = false;
    // The run waited for the answer inside its own message handling, so it
    // is still on; the flag is what every part of it looks at.
    if (!stop || !m_running)
        return;
    m_stopAsked = true;
    m_stopFlag->store(true);
}

QString TForm4::RunName() const
{
    return m_runKind == RunKind::Split ? tr("split") : tr("join");
}

void TForm4::RunHeld(RunKind kind, const std::function<void()> &work)
{
    ui.ProgressBar1->show();
    m_runKind = kind;
    const RunScope scope(*this); // keeps the status text, restores all after
    m_escape->setEnabled(true);
    HoldBanner();
    ui.FlatSpeedButton1->setEnabled(false);
    ui.FilenameEdit1->setEnabled(false);
    ui.RadioButton1->setEnabled(false);
    ui.RadioButton2->setEnabled(false);
    ui.RadioButton3->setEnabled(false);
    work();
}

void TForm4::HoldBanner()
{
    // The banner shows one still frame while the engine works, so the run's
    // message pumping delivers no banner ticks.
    ui.RxGIFAnimator1->setFrameIndex(33);
    ui.RxGIFAnimator1->setAnimate(false);
}

void TForm4::RestartBanner()
{
    // Playing goes on from the frame held, so frame 34 comes next.
    ui.RxGIFAnimator1->setAnimate(true);
}

TForm4::TBarSetting TForm4::ProgressBarSetting(std::int64_t maximum, std::int64_t position)
{
    // The bar counts in int; larger ranges are scaled down to fit, and an
    // empty range shows an empty bar rather than the busy animation.
    constexpr std::int64_t limit = std::numeric_limits<int>::max();
    maximum = std::max<std::int64_t>(maximum, 0);
    position = std::clamp<std::int64_t>(position, 0, maximum);
    if (maximum == 0)
        return {1, 0};
    if (maximum <= limit)
        return {static_cast<int>(maximum), static_cast<int>(position)};
    const std::int64_t divisor = maximum / limit + 1;
    return {static_cast<int>(maximum / divisor), static_cast<int>(position / divisor)};
}

void TForm4::progressChanged()
{
    const TBarSetting setting = ProgressBarSetting(progressMaximum(), progressPosition());
    if (ui.ProgressBar1->maximum() != setting.maximum)
        ui.ProgressBar1->setRange(0, setting.maximum);
    ui.ProgressBar1->setValue(setting.value);
}

bool TForm4::Quitting() const
{
    return m_sessionEnding || (!m_stopAsked && m_stopFlag->load());
}

void TForm4::setStatusText(const std::string &text)
{
    // Once Exit has been asked for, the status bar keeps saying when the
    // window will close.
    if (!m_exitRequested)
        ui.StatusBar1->setSimpleText(FileNameText(text));
}

void TForm4::showError(const std::string &text)
{
    if (Quitting())
        qWarning("%s", text.c_str());
    else
        ShowErrorDialog(FileNameText(text));
}

void TForm4::showInformation(const std::string &text)
{
    if (Quitting())
        qInfo("%s", text.c_str());
    else
        ShowInformationDialog(FileNameText(text));
}

void TForm4::showMessage(const std::string &text)
{
    if (Quitting())
        qWarning("%s", text.c_str());
    else
        ShowPlainDialog(FileNameText(text));
}

bool TForm4::askForDiskette(const std::string &text)
{
    return !Quitting() && AskOkCancel(QString::fromLatin1(darvolt::PromptTitle), FileNameText(text));
}

std::optional<std::size_t> TForm4::chooseMedium(const std::string &text,
                                                const std::vector<darvolt::RemovableMedium> &media)
{
    if (Quitting())
        return std::nullopt;
    QList<TMediumRow> rows;
    for (const darvolt::RemovableMedium &medium : media) {
        const QString where = medium.folder.empty()
                                  ? FileNameText(medium.device) + QStringLiteral(" (not mounted yet)")
                                  : FileNameText(medium.folder);
        rows.append({medium.label.empty() ? QStringLiteral("(no label)") : FileNameText(medium.label),
                     QString::fromStdString(darvolt::texts::mediumSize(medium.size)), where});
    }
    const int chosen = ChooseMediumDialog(QString::fromLatin1(darvolt::PromptTitle), FileNameText(text), rows);
    if (chosen < 0)
        return std::nullopt;
    return std::size_t(chosen);
}

bool TForm4::askRetry(const std::string &text)
{
    return !Quitting() && AskOkCancel(QString::fromLatin1(darvolt::PromptTitle), FileNameText(text));
}

void TForm4::showNote(const std::string &text)
{
    setStatusText(text);
}

void TForm4::processPendingMessages()
{
    TApplication::ProcessMessages();
}

} // namespace darvolt
