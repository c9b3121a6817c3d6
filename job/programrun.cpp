#include "programrun.h"

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
    emit starting();
    process = new ChildProcess(this);
    ChildProcess *child = process;
    ChildProcess::StartError error;
    if (!child->start(programPath, programArguments, programEnvironment, workDir, &error)) {
        process = nullptr;
        child->deleteLater();
        emit failedToStart(error.text);
        return;
    }
    connect(child, &ChildProcess::output, this, &ProgramRun::output);
    connect(child, &ChildProcess::finished, this, [this, child](int exitCode, bool crashed, int signal) {
        End end;
        end.crashed = crashed;
        end.signal = signal;
        end.exitCode = crashed ? -1 : exitCode;
        process = nullptr;
        // Deleted from the event loop: this runs inside its own signal.
        child->deleteLater();
        emit ended(end);
    });
    emit running();
}
