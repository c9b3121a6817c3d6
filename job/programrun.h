#ifndef PROGRAMRUN_H
#define PROGRAMRUN_H

#include "childprocess.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

// One outside program as a job runs it: started in the job's working directory with
// merged output, watched until it ends. A waiting or finished job holds no process.
class ProgramRun : public QObject
{
    Q_OBJECT

public:
    // How a run that reached the running state ended.
    struct End
    {
        bool crashed = false;
        int signal = 0;
        int exitCode = 0;
        bool normal() const { return !crashed && exitCode == 0; }
    };

    explicit ProgramRun(QObject *parent = nullptr);

    void configure(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &environment, const QString &workingDirectory);
    QString program() const { return programPath; }
    QStringList arguments() const { return programArguments; }

    // Returns once the program runs or has failed to start: a started program has
    // reported running() before this returns, which the manager's count relies on.
    void start();
    // Starting or running.
    bool isActive() const { return process != nullptr; }

signals:
    void starting();
    void running();
    void output(const QByteArray &bytes);
    // The program could not be started (missing, not executable, no working directory).
    void failedToStart(const QString &reason);
    // The program ran and has ended; all its output has been delivered.
    void ended(const ProgramRun::End &end);

private:
    QString programPath;
    QStringList programArguments;
    QProcessEnvironment programEnvironment;
    QString workDir;
    ChildProcess *process = nullptr;
};

#endif
