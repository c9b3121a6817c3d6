#ifndef PROGRAMRUN_H
#define PROGRAMRUN_H

#include "childprocess.h"
#include "problem.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

class QTimer;

// One outside program as a job runs it: started in the job's working directory with
// merged output, watched until it ends, ended when it outlives its time limit or is
// stopped. A waiting or finished job holds no process.
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
        bool timedOut = false; // ended because it outlived its time limit
        bool stopped = false; // ended because it was asked to stop
        // It ended while processes it started still ran, which were then ended.
        bool leftProcesses = false;
        bool normal() const
        {
            return !crashed && exitCode == 0 && !timedOut && !stopped && !leftProcesses;
        }
        // How the run counts in a job log.
        JobCodes::Outcome outcome() const;
        // What went wrong, for a program of the given name in dir with the given time limit;
        // none for a normal end.
        Problem problem(JobCodes::Program program, const QString &dir, int limitSeconds) const;
    };

    explicit ProgramRun(QObject *parent = nullptr);

    void configure(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment, const QString &workingDirectory);
    // Seconds a run may take before it is ended; 0: no limit.
    void setTimeLimit(int seconds) { limitSeconds = seconds; }
    QString program() const { return programPath; }
    QStringList arguments() const { return programArguments; }

    // Returns once the program runs or has failed to start: a started program has
    // reported running() before this returns, which the manager's count relies on.
    void start();
    // Ends a running program: its process group and every process it started get SIGTERM,
    // and SIGKILL 5 s later.
    void stop();
    // Starting or running.
    bool isActive() const { return process != nullptr; }
    // The last start failed for lack of resources as one before it did, with no start in
    // between: that shortage has been told already.
    bool shortageTold() const { return repeatedShortage; }

signals:
    void starting();
    void running();
    void output(const QByteArray &bytes);
    // The program could not be started (missing, not executable, no working directory);
    // transient: for lack of resources, so that a later try may work. Once no program has
    // started for a minute, every start that fails for lack of resources fails for good
    // until one starts: a batch ends instead of trying for ever.
    void failedToStart(const QString &reason, bool transient);
    // The program ran and has ended; all its output has been delivered.
    void ended(const ProgramRun::End &end);

private:
    void terminate();

    QString programPath;
    QStringList programArguments;
    QProcessEnvironment programEnvironment;
    QString workDir;
    int limitSeconds = 0;
    ChildProcess *process = nullptr;
    QTimer *limitTimer = nullptr;
    bool terminating = false;
    bool repeatedShortage = false;
    bool timedOut = false;
    bool stopped = false;
    // Since when starts of any program have failed for lack of resources; not valid after
    // a good start. The programs all start from the main thread.
    static QElapsedTimer shortOfResources;
};

#endif
