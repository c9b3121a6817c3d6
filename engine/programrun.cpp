#include "programrun.h"

#include <QTimer>

namespace {
// How long starts may fail for lack of resources before the run gives up.
const qint64 resourceWaitMs = 60000;
} // namespace

JobCodes::Outcome ProgramRun::End::outcome() const
{
    return timedOut                ? JobCodes::Outcome::Timeout
        : stopped                  ? JobCodes::Outcome::Stopped
        : crashed || leftProcesses ? JobCodes::Outcome::Crashed
        : exitCode != 0            ? JobCodes::Outcome::ExitCode
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
        : leftProcesses ? Problem::Kind::LeftProcesses
        : exitCode != 0 ? Problem::Kind::ExitCode
                        : Problem::Kind::None;
    return p;
}

QElapsedTimer ProgramRun::shortOfResources;

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
    terminating = false;
    emit starting();
    process = new ChildProcess(this);
    ChildProcess *child = process;
    ChildProcess::StartError error;
    if (!child->start(programPath, programArguments, programEnvironment, workDir, &error)) {
        process = nullptr;
        child->deleteLater();
        bool transient = error.transient();
        bool repeated = false;
        QString why = error.text;
        if (transient) {
            repeated = shortOfResources.isValid();
            if (!repeated) {
                shortOfResources.start();
            } else if (shortOfResources.elapsed() >= resourceWaitMs) {
                transient = repeated = false;
                why = tr("%1 ; no program could start for a minute").arg(error.text);
            }
        }
        repeatedShortage = repeated;
        emit failedToStart(why, transient);
        return;
    }
    shortOfResources.invalidate();
    connect(child, &ChildProcess::output, this, &ProgramRun::output);
    connect(child, &ChildProcess::finished, this, [this, child](const ChildProcess::Exit &exit) {
        delete limitTimer;
        limitTimer = nullptr;
        End end;
        end.crashed = exit.crashed;
        end.signal = exit.signal;
        end.exitCode = exit.crashed ? -1 : exit.exitCode;
        end.leftProcesses = exit.leftProcesses;
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
        limitTimer->start(int(qint64(limitSeconds) * 1000));
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

// orbelin-run sends SIGKILL 5 s after the SIGTERM, whatever the program does.
void ProgramRun::terminate()
{
    if (!process || terminating)
        return;
    terminating = true;
    process->terminate();
}
