// Runs the built program with -batch as a user runs it from a terminal.
#ifndef BATCHPROCESS_H
#define BATCHPROCESS_H

#include <QProcess>
#include <QStringList>

namespace testutil {

struct BatchResult
{
    int exitCode = -1; // -2: crashed, -1: did not end in time
    QStringList lines; // stdout: one line per job
    QString errors;    // stderr: the log
};

inline BatchResult finishBatch(QProcess &orbelin, int timeoutMs)
{
    BatchResult result;
    if (!orbelin.waitForFinished(timeoutMs)) {
        orbelin.kill();
        orbelin.waitForFinished();
        return result;
    }
    result.exitCode = orbelin.exitStatus() == QProcess::NormalExit ? orbelin.exitCode() : -2;
    result.lines = QString::fromUtf8(orbelin.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    result.errors = QString::fromUtf8(orbelin.readAllStandardError());
    return result;
}

// Starts the program in dir without a display of its own: -batch must need none.
inline void startBatch(QProcess &orbelin, const QString &dir, const QStringList &args)
{
    orbelin.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    orbelin.setProcessEnvironment(env);
    orbelin.start(ORBELIN_EXE, args);
}

inline BatchResult runBatch(const QString &dir, const QStringList &args, int timeoutMs = 60000)
{
    QProcess orbelin;
    startBatch(orbelin, dir, args);
    return finishBatch(orbelin, timeoutMs);
}

} // namespace testutil

#endif
