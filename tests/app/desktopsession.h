#pragma once
// Real display servers for the tests that drive the program as a person
// would: a private X server (Xvfb) with one of the distribution's window
// managers, or weston's headless compositor with a pointer of our own, and
// the tools that poke and read them (xdotool, xprop, weston-debug,
// weston-screenshooter). Nothing here waits a fixed time: callers poll for
// what they expect with QTRY_*.

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// A program the test started; ended (SIGTERM, then SIGKILL) and reaped with
// the object.
class TestChild
{
public:
    // Its standard output is kept only when asked for, its standard error
    // only in the file named; its standard input is a pipe that Write()
    // fills.
    TestChild(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
              bool keepOutput = false, const QString &errorFile = {});
    ~TestChild();
    TestChild(const TestChild &) = delete;
    TestChild &operator=(const TestChild &) = delete;

    bool Started() const { return m_started; }
    bool Running() const;
    // Whether it has ended by itself with status 0.
    bool EndedCleanly();
    qint64 Pid() const { return m_process->processId(); }
    void Write(const QByteArray &data);
    // The next line of its standard output, waiting up to 10 s for it.
    QByteArray ReadLine();
    // What it has written on its standard output since last asked.
    QByteArray ReadAvailable();

private:
    std::unique_ptr<QProcess> m_process;
    bool m_started = false;
};

// Runs a tool to its end (10 s at most) and answers its standard output;
// empty when it failed.
QString RunTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                const QString &workingFolder = {});

// An X server of our own, 1024 x 768, on a free display, with a watch on
// what its clients tell the root window.
class XSession
{
public:
    XSession();

    bool Started() const { return !m_display.isEmpty(); }
    bool ServerRunning() const;
    QProcessEnvironment Environment() const { return m_environment; }

    // Starts openbox, xfwm4 or metacity; true once it has taken charge of
    // the screen (it names its check window on the root window).
    bool StartWindowManager(const QString &name);
    bool WindowManagerRunning() const { return m_windowManager && m_windowManager->Running(); }
    // What the window manager wrote on its standard error, for reports.
    QString WindowManagerLog() const;

    // What the clients of the server have told the root window so far (the
    // window manager's requests among them), as xev prints it.
    QString RootEvents();

    QString XDoTool(const QStringList &arguments) const;
    // The visible windows of a process.
    QStringList VisibleWindows(qint64 pid) const;
    std::optional<QRect> Geometry(const QString &window) const;
    // The window state a window manager gives a window it manages
    // ("Normal", "Iconic"), empty before it manages it.
    QString WindowState(const QString &window) const;
    bool Maximised(const QString &window) const;

    void MoveTo(QPoint point) const;
    void Press() const;
    void Release() const;
    void Click(int button, int count = 1) const;

private:
    QTemporaryDir m_home;
    std::unique_ptr<TestChild> m_server;
    std::unique_ptr<TestChild> m_bus;
    std::unique_ptr<TestChild> m_windowManager;
    std::unique_ptr<TestChild> m_rootWatch;
    QString m_rootEvents;
    QString m_display;
    QProcessEnvironment m_environment;
};

// weston's headless compositor, 1024 x 768, with the pointer module that
// plays what Pointer() writes, its protocol log and its debugging tools.
class WestonSession
{
public:
    explicit WestonSession(const QString &pointerModule);

    bool Started() const;
    QProcessEnvironment Environment() const { return m_environment; }

    void Pointer(const QByteArray &line);
    // Every request the compositor received so far, one a line.
    QString Requests() const;
    // Where the compositor shows the top-level window of that title.
    std::optional<QRect> WindowPlace(const QString &title) const;
    QImage Screenshot() const;

private:
    QTemporaryDir m_runtime;
    QString m_log;
    QProcessEnvironment m_environment;
    std::unique_ptr<TestChild> m_compositor;
};
