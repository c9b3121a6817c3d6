#include "programrun.h"

#include <QTimer>

#include <csignal>

namespace {
// How long a program asked to end may take before it is killed.
const int killDelayMs = 5000;
// How long starts may fail for lack of resources before the run gives up.
const qint64 resourceWaitMs = 60000;
} // namespace

JobCodes::Outcome ProgramRun::End::outcome() const
{
    return timedOut     ? JobCodes::Outcome::Timeout
        : stopped       ? JobCodes::Outcome::Stopped
        : crashed       ? JobCodes::Outcome::Crashed
        : exitCode != 0 ? JobCodes::Outcome::ExitCode
                        : JobCodes::Outcome::Ok;
}

Problem ProgramRun::End::problem(JobCodes::Program program, const QString &dir, int limit) const
{
    Problem p;
    p.program = program;
    p.dir = dir;
    p.exitCode = exitCode;
    p.signal = signal;
    p.limit = limit;
    p.kind = timedOut   ? Problem::Kind::TimeLimit
        : stopped       ? Problem::Kind::StoppedByUser
        : crashed       ? Problem::Kind::Crashed
        : exitCode != 0 ? Problem::Kind::ExitCode
                        : Problem::Kind::None;
    return p;
}

ProgramRun::ProgramRun(QObject *parent)
    : QObject(parent)
{
}

void ProgramRun::configure(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment, const QString &workingDirectory)
{
    programPath = program;
    programArguments = arguments;
    programEnvironment = environment;
    workDir = workingDirectory;
}

void ProgramRun::start()
{
    if (isActive())
        return;
    timedOut = false;
    stopped = false;
    emit starting();
    process = new ChildProcess(this);
    ChildProcess *child = process;
    ChildProcess::StartError error;
    if (!child->start(programPath, programArguments, programEnvironment, workDir, &error)) {
        process = nullptr;
        child->deleteLater();
        bool transient = error.transient();
        if (transient && !shortOfResources.isValid())
            shortOfResources.start();
        else if (transient && shortOfResources.elapsed() >= resourceWaitMs)
            transient = false;
        if (!transient)
            shortOfResources.invalidate();
        emit failedToStart(error.text, transient);
        return;
    }
    shortOfResources.invalidate();
    connect(child, &ChildProcess::output, this, &ProgramRun::output);
    connect(child, &ChildProcess::finished, this,
        [this, child](int exitCode, bool crashed, int signal) {
            delete limitTimer;
            limitTimer = nullptr;
            delete killTimer;
            killTimer = nullptr;
            End end;
            end.crashed = crashed;
            end.signal = signal;
            end.exitCode = crashed ? -1 : exitCode;
            end.timedOut = timedOut;
            end.stopped = stopped;
            process = nullptr;
            // Deleted from the event loop: this runs inside its own signal.
            child->deleteLater();
            emit ended(end);
        });
    if (limitSeconds > 0) {
        limitTimer = new QTimer(this);
        limitTimer->setSingleShot(true);
        // A limit is a promise to the user: it must not end a program early, as a coarse timer may.
        limitTimer->setTimerType(Qt::PreciseTimer);
        connect(limitTimer, &QTimer::timeout, this, [this] {
            timedOut = true;
            terminate();
        });
        limitTimer->start(limitSeconds * 1000);
    }
    emit running();
}

void ProgramRun::stop()
{
    if (!process || timedOut)
        return;
    stopped = true;
    terminate();
}

void ProgramRun::terminate()
{
    if (!process || killTimer)
        return;
    process->signalGroup(SIGTERM);
    killTimer = new QTimer(this);
    killTimer->setSingleShot(true);
    connect(killTimer, &QTimer::timeout, this, [this] {
        if (process)
            process->signalGroup(SIGKILL);
    });
    killTimer->start(killDelayMs);
}
