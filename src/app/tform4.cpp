// The main window: start-up steps, the file field, the size modes and drops.
#include "app/tform4.h"

#include "app/layoutfonts.h"
#include "app/startup.h"
#include "app/taboutbox.h"
#include "platform/posixplatform.h"
#include "parts/partnaming.h"
#include "split/sourcemeasure.h"
#include "toolkit/dialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QShortcut>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileInfo>

namespace darvolt {

using namespace messages;

std::string FileNameBytes(const QString &name)
{
    return QFile::encodeName(name).toStdString();
}

QString FileNameText(const std::string &bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

TForm4::TForm4(darvolt::Platform *platform, QWidget *parent) : TForm(parent), m_platform(platform)
{
    if (!m_platform) {
        m_ownPlatform = std::make_unique<darvolt::PosixPlatform>();
        m_platform = m_ownPlatform.get();
    }
    m_arguments = QCoreApplication::arguments().mid(1);
    m_options.stop = m_stopFlag;

    setBorderStyle(bsSingle);
    setBorderIcons(biSystemMenu | biMinimize);
    InitDarvoltResources();
    {
        const TLayoutFontScope pixelFonts;
        ui.setupUi(Client());
    }
    UseLayoutPixelFonts(this);
    FitLabelsToText(Client());
    // Made after the border is set, which decides its default font; it
    // hooks the window at once.
    RxGradientCaption1 = new TRxGradientCaption(this);
    RxGradientCaption1->setObjectName(QStringLiteral("RxGradientCaption1"));
    RxGradientCaption1->setFormCaption(QStringLiteral("Darvolt - The File Splitter"));
    ui.FilenameEdit1->setFocus();
    // Whatever has the focus during a run, Escape offers to stop it; idle,
    // the key is left to the controls.
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, [this] { StopClick(this); });
    m_escape->setEnabled(false);
    ConnectHandlers();
    FormCreate(this);
}

TForm4::~TForm4()
{
    FormDestroy(this);
    // WM_DESTROY and anything after it must still find this class.
    BeginDestroy();
}

void TForm4::ConnectHandlers()
{
    connect(ui.FilenameEdit1, &TCustomComboEdit::OnChange, this, &TForm4::FilenameEdit1Change);
    for (QRadioButton *radio : {ui.RadioButton1, ui.RadioButton2, ui.RadioButton3}) {
        connect(radio, &QRadioButton::clicked, this, [this, radio] { ProPanel2Click(radio); });
        // A screen reader's toggle action turns a radio button on without a
        // click; the size fields must follow all the same.
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
            if (on)
                ProPanel2Click(radio);
        });
    }
    connect(ui.FlatSpeedButton1, &TFlatSpeedButton::OnClick, this, &TForm4::FlatSpeedButton1Click);
    connect(ui.FlatSpeedButton2, &TFlatSpeedButton::OnClick, this, &TForm4::FlatSpeedButton2Click);
    connect(ui.FlatSpeedButton3, &TFlatSpeedButton::OnClick, this, &TForm4::FlatSpeedButton3Click);
    connect(ui.FlatSpeedButton4, &TFlatSpeedButton::OnClick, this, &TForm4::FlatSpeedButton4Click);
}

void TForm4::FormCreate(QObject *)
{
    // Files dropped from the desktop come through the application's hook,
    // which sees them before any control of the window could take them as
    // text.
    DragAcceptFiles(this, true);
    if (TApplication *app = Application()) {
        app->OnMessage = [this](TMsg &msg, bool &handled) { ApplicationMessage(msg, handled); };
        m_hookInstalled = true;
    }
}

void TForm4::FormShow(QObject *)
{
    if (m_arguments.size() == 1)
        ui.FilenameEdit1->setText(m_arguments.first());
    // The banner stands still from creation until the window is first seen.
    ui.RxGIFAnimator1->setAnimate(true);
    if (TApplication *app = Application())
        app->SetHelpFile(HelpFileFor(QCoreApplication::applicationDirPath()));
}

void TForm4::FormDestroy(QObject *)
{
    // Stopped for good: no frame may arrive while the window goes.
    ui.RxGIFAnimator1->setAnimate(false);
    if (m_hookInstalled) {
        if (TApplication *app = Application())
            app->OnMessage = nullptr;
        m_hookInstalled = false;
    }
}

void TForm4::FormDragOver(QObject *, QObject *Source, int, int, bool &Accept)
{
    // Drags between our own controls are welcome anywhere on the window,
    // though nothing takes their drop; files from the desktop never come
    // this way (the application's hook takes them).
    Accept = Source != nullptr;
}

QString TForm4::HelpFileFor(const QString &programFolder)
{
    const QString beside = programFolder + QStringLiteral("/darvolt.html");
    const QString installed = programFolder + QStringLiteral("/../share/doc/darvolt/darvolt.html");
    if (!QFileInfo(beside).isFile() && QFileInfo(installed).isFile())
        return QFileInfo(installed).absoluteFilePath();
    return beside;
}

void TForm4::showEvent(QShowEvent *event)
{
    TForm::showEvent(event);
    // A window coming back from the task bar is not being shown anew.
    if (event->spontaneous())
        return;
    // Centred before the window reaches the screen, so it never jumps.
    CenterOnScreen(this);
    FormShow(this);
}

void TForm4::closeEvent(QCloseEvent *event)
{
    // Ending the application in the middle of a run would take the window
    // from under its progress and make every later dialog of the run return
    // at once (a diskette prompt would read as Cancel, a failure would go
    // unseen). So Exit, the close box and Alt+F4 only note the wish; the
    // run closes the window once it has returned.
    if (m_running) {
        m_exitRequested = true;
        event->ignore();
        // Said at once, and kept until the run ends: the engine's own
        // status texts would hide it.
        ui.StatusBar1->setSimpleText(
            tr("Darvolt closes when the %1 has finished. Press Esc to stop it now.").arg(RunName()));
        return;
    }
    TForm::closeEvent(event);
}

void TForm4::SetStopFlag(std::atomic<bool> *flag)
{
    m_stopFlag = flag ? flag : &m_ownStop;
    m_options.stop = m_stopFlag;
}

void TForm4::EndSession()
{
    m_sessionEnding = true;
    m_stopFlag->store(true);
    // Nobody is left to answer: each box, menu or dialog ends as if
    // cancelled, so that the modal loops under it unwind and the run sees
    // the flag.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window == this || !window->isVisible())
            continue;
        if (auto *dialog = qobject_cast<QDialog *>(window))
            dialog->reject();
        else
            window->close();
    }
    close();
}

void TForm4::dragEnterEvent(QDragEnterEvent *event)
{
    bool accept = false;
    FormDragOver(this, event->source(), event->position().toPoint().x(), event->position().toPoint().y(), accept);
    event->setAccepted(accept);
}

void TForm4::dragMoveEvent(QDragMoveEvent *event)
{
    bool accept = false;
    FormDragOver(this, event->source(), event->position().toPoint().x(), event->position().toPoint().y(), accept);
    event->setAccepted(accept);
}

void TForm4::dropEvent(QDropEvent *event)
{
    // The window has no handler for drops of that kind.
    event->ignore();
}

void TForm4::ShowSize(const QString &text)
{
    // The size label grows to its text, as labels do, from its left edge.
    ui.Label5->setText(text);
    FitLabelToText(ui.Label5);
}

void TForm4::FilenameEdit1Change(QObject *)
{
    UpdateOutputFolder();
    const QString text = ui.FilenameEdit1->text();
    if (text.isEmpty()) {
        ui.FlatSpeedButton1->setEnabled(false);
        return;
    }
    const darvolt::SourceMeasure measure = darvolt::MeasureSource(*m_platform, FileNameBytes(text));
    if (!measure.exists)
        return; // a name that is not a file leaves the displays as they were
    m_sourceSize = measure.sourceSize;
    ShowSize(QString::fromStdString(measure.sizeText));
    // A change during a run never offers a second run inside it.
    ui.FlatSpeedButton1->setEnabled(measure.splittable && !m_running);
}

void TForm4::UpdateOutputFolder()
{
    if (ui.RadioButton3->isChecked()) {
        ui.Edit1->setText(FileNameText(m_platform->driveFolder()) + QLatin1Char('/'));
        return;
    }
    const QString text = ui.FilenameEdit1->text();
    // The browse button quotes a name that holds a blank; the quotes are
    // not part of the name. Writing it back runs the change handling again,
    // nested, before this goes on.
    QString name = text;
    if (name.endsWith(QLatin1Char('"')))
        name.chop(1);
    if (name.startsWith(QLatin1Char('"')))
        name.remove(0, 1);
    if (name != text)
        ui.FilenameEdit1->setText(name);
    const QString field = ui.FilenameEdit1->text();
    if (!m_partsFolder.isEmpty() || field.isEmpty()) {
        ui.Edit1->setText(m_partsFolder);
        return;
    }
    // The very folder the run will write into, by the engine's own rule.
    ui.Edit1->setText(FileNameText(darvolt::OutputFolderForField(FileNameBytes(field))));
}

void TForm4::SetPartsFolder(const QString &folder)
{
    if (folder == m_partsFolder)
        return;
    m_partsFolder = folder;
    UpdateOutputFolder();
}

void TForm4::ProPanel2Click(QObject *)
{
    UpdateOutputFolder();
    if (ui.RadioButton1->isChecked() || ui.RadioButton3->isChecked()) {
        ui.Edit2->clear();
        ui.Edit2->setEnabled(false);
        return;
    }
    ui.Edit2->setEnabled(true);
    ui.Edit2->selectAll();
    ui.Edit2->setFocus(Qt::OtherFocusReason);
}

void TForm4::FlatSpeedButton2Click(QObject *)
{
    if (TApplication *app = Application())
        app->HelpCommand(HELP_FINDER, 0);
}

void TForm4::FlatSpeedButton3Click(QObject *)
{
    // A fresh box for every showing, so its links start unvisited; it goes
    // when its modal loop ends, whatever way that happens.
    const auto box = std::make_unique<TAboutBox>(this);
    box->ShowModal();
}

void TForm4::FlatSpeedButton4Click(QObject *)
{
    // During a run this only notes the wish (closeEvent): the run goes on
    // to its end, and the program ends after it.
    close();
}

void TForm4::ApplicationMessage(TMsg &Msg, bool &Handled)
{
    if (Msg.message != WM_DROPFILES)
        return;
    TMessage message{Msg.message, Msg.wParam, Msg.lParam, 0};
    WMDropFiles(message);
    Handled = true;
}

void TForm4::WMDropFiles(TMessage &Msg)
{
    const HDROP drop = DropFromParam(Msg.WParam);
    // A drop during a run must not start or prepare a second one. The
    // whole path is taken: a name cut short would name another file.
    if (!m_running) {
        const QString name = DragQueryFile(drop, 0);
        if (!name.isEmpty())
            ui.FilenameEdit1->setText(name);
    }
    DragFinish(drop);
    Msg.Result = 0;
}

void TForm4::WndProc(TMessage &message)
{
    if (message.Msg == WM_DROPFILES) {
        WMDropFiles(message);
        return;
    }
    TForm::WndProc(message);
}

} // namespace darvolt
