#include "toolkit/application.h"

#include "toolkit/desktopopener.h"
#include "toolkit/dialogs.h"
#include "toolkit/wincontrol.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QRadioButton>
#include <QShortcutEvent>

namespace darvolt {

using namespace messages;

namespace {

// Kept on the window itself, so that a window that goes away takes its
// registration with it.
constexpr const char *dropTargetProperty = "_darvolt_dropTarget";

QString &titleSlot()
{
    static QString title;
    return title;
}

TApplication::THelpOpener &helpOpenerSlot()
{
    static TApplication::THelpOpener opener;
    return opener;
}

bool openInBrowser(const QUrl &url, const QString &helpFile)
{
    const TApplication::THelpOpener &opener = helpOpenerSlot();
    if (opener)
        return opener(url);
    // Without a browser the desktop's opener only complains on standard
    // error; the user is told which file to open by hand instead.
    const QString path = QFileInfo(helpFile).absoluteFilePath();
    OpenWithDesktop(url, [path] {
        ShowErrorDialog(QStringLiteral("Cannot show the help file %1: no browser could be started. "
                                       "Open the file in a browser by hand.")
                            .arg(path));
    });
    return true;
}

HWND windowHandleOf(QWidget *window)
{
    if (auto *control = qobject_cast<TWinControl *>(window))
        return control->Handle();
    return HWND{};
}

} // namespace

int DragQueryFileCount(HDROP drop)
{
    return drop ? static_cast<int>(drop->Files().size()) : 0;
}

QString DragQueryFile(HDROP drop, int index)
{
    if (!drop || index < 0 || index >= drop->Files().size())
        return {};
    return drop->Files().at(index);
}

void DragFinish(HDROP drop)
{
    if (drop)
        drop->Finish();
}

QStringList DroppedFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files << url.toLocalFile();
    return files;
}

void DragAcceptFiles(QWidget *window, bool accept)
{
    if (!window)
        return;
    window->setProperty(dropTargetProperty, accept);
    window->setAcceptDrops(accept);
}

bool AcceptsDroppedFiles(const QWidget *window)
{
    return window && window->property(dropTargetProperty).toBool();
}

QString CurrentApplicationTitle()
{
    if (!titleSlot().isEmpty())
        return titleSlot();
    return QCoreApplication::applicationName();
}

TApplication *Application()
{
    return qobject_cast<TApplication *>(QCoreApplication::instance());
}

int HelpContextOf(const QWidget *widget)
{
    // The search ends at the window: a dialog does not borrow the topic of
    // the window that owns it.
    for (; widget; widget = widget->parentWidget()) {
        const int context = widget->property("HelpContext").toInt();
        if (context > 0)
            return context;
        if (widget->isWindow())
            break;
    }
    return 0;
}

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    installEventFilter(this);
    m_previousHandler = SetApplicationExceptionHandler([this](std::exception_ptr error) {
        ShowException(error);
    });
}

TApplication::~TApplication()
{
    SetApplicationExceptionHandler(std::move(m_previousHandler));
    removeEventFilter(this);
}

void TApplication::SetTitle(const QString &title)
{
    titleSlot() = title;
}

QUrl TApplication::HelpUrl(int context) const
{
    QUrl url = QUrl::fromLocalFile(QFileInfo(m_helpFile).absoluteFilePath());
    if (context > 0)
        url.setFragment(QStringLiteral("context-%1").arg(context));
    return url;
}

bool TApplication::HelpCommand(UINT command, quintptr data)
{
    if (m_helpFile.isEmpty())
        return false;
    if (!QFileInfo(m_helpFile).isFile()) {
        ShowErrorDialog(QStringLiteral("Cannot find the help file %1.").arg(m_helpFile));
        return false;
    }
    const int context = command == HELP_CONTEXT ? static_cast<int>(data) : 0;
    return openInBrowser(HelpUrl(context), m_helpFile);
}

bool TApplication::HelpContext(int context)
{
    return HelpCommand(HELP_CONTEXT, static_cast<quintptr>(context));
}

TApplication::THelpOpener TApplication::SetHelpOpener(THelpOpener opener)
{
    std::swap(helpOpenerSlot(), opener);
    return opener;
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::Terminate()
{
    m_terminated = true;
    QCoreApplication::quit();
}

void TApplication::ShowException(std::exception_ptr error)
{
    if (!error)
        return;
    ShowErrorDialog(ExceptionMessage(error));
}

bool TApplication::FindRegistrationSwitch(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument.size() < 2 || (argument.front() != u'/' && argument.front() != u'-'))
            continue;
        const QString name = argument.mid(1);
        if (name.compare(QLatin1String("REGSERVER"), Qt::CaseInsensitive) == 0
            || name.compare(QLatin1String("UNREGSERVER"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    // An exception must not cross the event loop: it is shown, and the
    // program carries on with the next event.
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

bool TApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (!watched->isWidgetType())
        return QApplication::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (filterDrag(widget, event))
            return true;
        break;
    case QEvent::KeyPress:
        if (filterHelpKey(widget, event))
            return true;
        break;
    case QEvent::Shortcut:
        if (filterToggleShortcut(widget, event))
            return true;
        break;
    default:
        break;
    }
    if (OnMessage && dispatchHook(widget, event))
        return true;
    return QApplication::eventFilter(watched, event);
}

bool TApplication::dispatchHook(QWidget *widget, QEvent *event)
{
    TMsg msg;
    msg.receiver = widget;
    msg.event = event;
    bool handled = false;
    // Copied: the hook may replace itself while it runs.
    const TMessageEvent hook = OnMessage;
    hook(msg, handled);
    return handled;
}

bool TApplication::filterDrag(QWidget *widget, QEvent *event)
{
    QWidget *window = widget->window();
    if (!AcceptsDroppedFiles(window))
        return false;
    // A window that a modal dialog blocks takes no input, drops included.
    if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->window() != window)
        return false;
    auto *drag = static_cast<QDropEvent *>(event);
    QStringList files = DroppedFiles(drag->mimeData());
    if (files.isEmpty())
        return false;
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (event->type() != QEvent::Drop)
        return true;

    TDropFiles drop(std::move(files));
    TMsg msg{windowHandleOf(window), WM_DROPFILES, DropParam(&drop), 0, widget, event};
    bool handled = false;
    if (OnMessage) {
        const TMessageEvent hook = OnMessage;
        hook(msg, handled);
    }
    if (!handled) {
        if (auto *control = qobject_cast<TWinControl *>(window))
            control->Deliver(WM_DROPFILES, msg.wParam, msg.lParam);
    }
    return true;
}

bool TApplication::filterToggleShortcut(QWidget *widget, QEvent *event)
{
    // Qt answers a radio button's or check box's accelerator with an
    // animated click that lands a tenth of a second later, so keys typed
    // right after it (or sent by an automation tool) would reach the old
    // focus and be judged against the old choice. Here it takes effect at
    // once, before the next key is handled.
    auto *button = qobject_cast<QAbstractButton *>(widget);
    if (!button || !(qobject_cast<QRadioButton *>(button) || qobject_cast<QCheckBox *>(button)))
        return false;
    const auto *shortcut = static_cast<QShortcutEvent *>(event);
    // Two controls share the letter: Qt moves the focus between them without
    // clicking, which stays as it is.
    if (shortcut->isAmbiguous() || !button->isEnabled())
        return false;
    if (button->focusPolicy() != Qt::NoFocus) {
        button->setFocus(Qt::ShortcutFocusReason);
        button->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    }
    button->click();
    return true;
}

bool TApplication::filterHelpKey(QWidget *widget, QEvent *event)
{
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || m_helpFile.isEmpty())
        return false;
    const int context = HelpContextOf(widget);
    if (context > 0)
        HelpContext(context);
    else
        HelpCommand(HELP_FINDER, 0);
    return true;
}

} // namespace darvolt
