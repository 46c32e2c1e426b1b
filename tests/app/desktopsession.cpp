#include "desktopsession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <functional>

namespace {

// Polls until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()> &condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

} // namespace

TestChild::TestChild(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                     bool keepOutput, const QString &errorFile)
    : m_process(std::make_unique<QProcess>())
{
    m_process->setProcessEnvironment(environment);
    if (!keepOutput)
        m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(errorFile.isEmpty() ? QProcess::nullDevice() : errorFile);
    m_process->start(program, arguments);
    m_started = m_process->waitForStarted(10000);
}

TestChild::~TestChild()
{
    if (m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool TestChild::Running() const
{
    m_process->waitForFinished(0); // takes note of an end that has happened
    return m_process->state() != QProcess::NotRunning;
}

bool TestChild::EndedCleanly()
{
    return !Running() && m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

void TestChild::Write(const QByteArray &data)
{
    m_process->write(data);
    m_process->waitForBytesWritten(5000);
}

QByteArray TestChild::ReadLine()
{
    const QDeadlineTimer deadline(10000);
    while (!m_process->canReadLine() && !deadline.hasExpired())
        if (!m_process->waitForReadyRead(int(deadline.remainingTime())))
            break;
    return m_process->readLine();
}

QByteArray TestChild::ReadAvailable()
{
    m_process->waitForReadyRead(0);
    return m_process->readAllStandardOutput();
}

QString RunTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                const QString &workingFolder)
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.setStandardErrorFile(QProcess::nullDevice());
    if (!workingFolder.isEmpty())
        tool.setWorkingDirectory(workingFolder);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

XSession::XSession()
{
    m_environment = QProcessEnvironment::systemEnvironment();
    // Window managers write their settings under the home folder: this one
    // goes with the test.
    m_environment.insert(QStringLiteral("HOME"), m_home.path());
    for (const QString &name : {QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("XDG_CACHE_HOME"),
                                QStringLiteral("XDG_DATA_HOME"), QStringLiteral("WAYLAND_DISPLAY"),
                                QStringLiteral("DBUS_SESSION_BUS_ADDRESS")})
        m_environment.remove(name);
    m_environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Other people's servers take the low numbers: a display is tried at
    // random higher up, and the server names it on the descriptor given
    // once it takes clients (or ends when the display is taken). It must
    // not reset when its last client leaves, as the tools come and go: a
    // client that calls during a reset is turned away.
    for (int attempt = 0; attempt < 10 && m_display.isEmpty(); ++attempt) {
        const QString display = QLatin1Char(':') + QString::number(QRandomGenerator::global()->bounded(100, 900));
        m_server = std::make_unique<TestChild>(QStringLiteral("Xvfb"),
                                               QStringList{display, QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                           QStringLiteral("-screen"), QStringLiteral("0"),
                                                           QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                                           QStringLiteral("tcp"), QStringLiteral("-noreset")},
                                               m_environment, true);
        if (m_server->Started() && !m_server->ReadLine().trimmed().isEmpty())
            m_display = display;
    }
    m_environment.insert(QStringLiteral("DISPLAY"), m_display);
    if (m_display.isEmpty())
        return;
    m_rootWatch = std::make_unique<TestChild>(QStringLiteral("xev"),
                                              QStringList{QStringLiteral("-root"), QStringLiteral("-event"),
                                                          QStringLiteral("substructure"), QStringLiteral("-event"),
                                                          QStringLiteral("property")},
                                              m_environment, true);
    // The watch is on once it hears a property of the root window change.
    const bool watching = WaitUntil([this] {
        RunTool(QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("DARVOLT_TEST"), QStringLiteral("8s"),
                 QStringLiteral("-set"), QStringLiteral("DARVOLT_TEST"), QStringLiteral("watch")},
                m_environment);
        return RootEvents().contains(QLatin1String("PropertyNotify"));
    }, 10000);
    if (!watching) {
        m_display.clear();
        return;
    }
    // A window manager may centre a new window under the pointer, which sits
    // in the middle of a new screen: the least stir then opens a control's
    // hint, a second window of the program. The pointer waits in a corner.
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("1023"), QStringLiteral("767")});
}

QString XSession::RootEvents()
{
    if (m_rootWatch)
        m_rootEvents += QString::fromLocal8Bit(m_rootWatch->ReadAvailable());
    return m_rootEvents;
}

bool XSession::ServerRunning() const
{
    return m_server && m_server->Running();
}

bool XSession::StartWindowManager(const QString &name)
{
    QProcessEnvironment environment = m_environment;
    QStringList arguments;
    if (name == QLatin1String("xfwm4")) {
        // xfwm4 reads its settings over a session bus; this one ends with
        // the test, and the settings service it starts with it.
        m_bus = std::make_unique<TestChild>(QStringLiteral("dbus-daemon"),
                                            QStringList{QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                        QStringLiteral("--print-address=1")},
                                            m_environment, true);
        const QByteArray address = m_bus->ReadLine().trimmed();
        if (address.isEmpty())
            return false;
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));
        arguments = QStringList{QStringLiteral("--compositor=off"), QStringLiteral("--sm-client-disable")};
    } else {
        arguments = QStringList{QStringLiteral("--sm-disable")};
    }
    m_windowManager = std::make_unique<TestChild>(name, arguments, environment, false,
                                                  m_home.filePath(QStringLiteral("window-manager.log")));
    return m_windowManager->Started() && WaitUntil([this] {
        return RunTool(QStringLiteral("xprop"),
                       QStringList{QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")},
                       m_environment)
            .contains(QLatin1String("window id"));
    }, 10000);
}

QString XSession::WindowManagerLog() const
{
    QFile log(m_home.filePath(QStringLiteral("window-manager.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
}

QString XSession::XDoTool(const QStringList &arguments) const
{
    return RunTool(QStringLiteral("xdotool"), arguments, m_environment);
}

QStringList XSession::VisibleWindows(qint64 pid) const
{
    return XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                    QString::number(pid)})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

std::optional<QRect> XSession::Geometry(const QString &window) const
{
    const QString shell = XDoTool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    static const QRegularExpression pattern(
        QStringLiteral("X=(-?\\d+)\\s+Y=(-?\\d+)\\s+WIDTH=(\\d+)\\s+HEIGHT=(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(shell);
    if (!match.hasMatch())
        return std::nullopt;
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

QString XSession::WindowState(const QString &window) const
{
    const QString state = RunTool(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_STATE")},
                                  m_environment);
    static const QRegularExpression pattern(QStringLiteral("window state: (\\w+)"));
    return pattern.match(state).captured(1);
}

bool XSession::Maximised(const QString &window) const
{
    const QString state = RunTool(QStringLiteral("xprop"),
                                  {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_STATE")}, m_environment);
    return state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT"))
        && state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_HORZ"));
}

void XSession::MoveTo(QPoint point) const
{
    XDoTool({QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y())});
}

void XSession::Press() const
{
    XDoTool({QStringLiteral("mousedown"), QStringLiteral("1")});
}

void XSession::Release() const
{
    XDoTool({QStringLiteral("mouseup"), QStringLiteral("1")});
}

void XSession::Click(int button, int count) const
{
    XDoTool({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(count), QStringLiteral("--delay"),
             QStringLiteral("80"), QString::number(button)});
}

WestonSession::WestonSession(const QString &pointerModule)
{
    static const QString socket = QStringLiteral("darvolt-band");
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.remove(QStringLiteral("DISPLAY"));
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    m_log = m_runtime.filePath(QStringLiteral("weston.log"));
    if (pointerModule.isEmpty() || !QFile::exists(pointerModule))
        return;
    // The protocol scope logs every request the compositor receives.
    m_compositor = std::make_unique<TestChild>(
        QStringLiteral("weston"),
        QStringList{QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--use-pixman"),
                    QStringLiteral("--debug"), QStringLiteral("--socket=") + socket, QStringLiteral("--idle-time=0"),
                    QStringLiteral("--width=1024"), QStringLiteral("--height=768"),
                    QStringLiteral("--modules=") + pointerModule, QStringLiteral("--logger-scopes=log,proto"),
                    QStringLiteral("--log=") + m_log},
        m_environment);
    WaitUntil([&] { return QFile::exists(m_runtime.filePath(socket)) || !m_compositor->Running(); }, 10000);
}

bool WestonSession::Started() const
{
    return m_compositor && m_compositor->Running()
        && QFile::exists(m_runtime.filePath(m_environment.value(QStringLiteral("WAYLAND_DISPLAY"))));
}

void WestonSession::Pointer(const QByteArray &line)
{
    m_compositor->Write(line + '\n');
}

QString WestonSession::Requests() const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList requests;
    for (const QByteArray &line : log.readAll().split('\n'))
        if (line.contains("[proto]") && line.contains(" rq "))
            requests << QString::fromUtf8(line);
    return requests.join(QLatin1Char('\n'));
}

std::optional<QRect> WestonSession::WindowPlace(const QString &title) const
{
    const QString graph = RunTool(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")}, m_environment);
    const qsizetype view = graph.indexOf(QStringLiteral("top-level window '%1'").arg(title));
    if (view < 0)
        return std::nullopt;
    static const QRegularExpression position(
        QStringLiteral("position: \\((-?\\d+), (-?\\d+)\\) -> \\((-?\\d+), (-?\\d+)\\)"));
    const QRegularExpressionMatch match = position.match(graph, view);
    if (!match.hasMatch())
        return std::nullopt;
    return QRect(QPoint(match.captured(1).toInt(), match.captured(2).toInt()),
                 QPoint(match.captured(3).toInt() - 1, match.captured(4).toInt() - 1));
}

QImage WestonSession::Screenshot() const
{
    QDir folder(m_runtime.filePath(QStringLiteral("shots")));
    folder.mkpath(QStringLiteral("."));
    folder.removeRecursively();
    folder.mkpath(QStringLiteral("."));
    RunTool(QStringLiteral("weston-screenshooter"), {}, m_environment, folder.path());
    const QStringList shots = folder.entryList({QStringLiteral("*.png")}, QDir::Files);
    return shots.isEmpty() ? QImage() : QImage(folder.filePath(shots.first()));
}
