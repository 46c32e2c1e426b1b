#pragma once
// Runs a program to its end, as a user at a terminal would, and keeps what
// it said.

#include <QProcess>

struct ProgramRun {
    int status = -1; // the exit status; -1 when it did not end by itself in time
    QByteArray out, err;
};

inline ProgramRun RunToEnd(const QString& program, const QStringList& args, const QByteArray& input = {},
                           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                           const QString& workingDirectory = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    const bool ended = p.waitForFinished(120000);
    if (!ended) {
        p.kill();
        p.waitForFinished();
    }
    return {ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}
