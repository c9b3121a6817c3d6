#include "programrun.h"

ProgramRun::ProgramRun(QObject *parent)
    : QObject(parent)
{
}

// A program still running when its job goes is left to run (the process object is
// not deleted, so Qt neither kills nor waits for it).
ProgramRun::~ProgramRun()
{
    if (process && process->state() != QProcess::NotRunning)
        process->setParent(nullptr);
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
    release();
    ran = false;
    process = new QProcess(this);
    process->setProgram(programPath);
    process->setArguments(programArguments);
    process->setProcessEnvironment(programEnvironment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setWorkingDirectory(workDir);
    QProcess *proc = process;
    connect(proc, &QProcess::readyReadStandardOutput, this, &ProgramRun::readOutput);
    connect(proc, &QProcess::stateChanged, this, &ProgramRun::processStateChanged);
    connect(proc, &QProcess::errorOccurred, this, [this, proc](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart && proc == process && !ran) {
            const QString reason = proc->errorString();
            release();
            emit failedToStart(reason);
        }
    });
    connect(proc, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
        [this, proc](int exitCode, QProcess::ExitStatus exitStatus) {
            if (proc != process)
                return;
            readOutput();
            End end;
            end.crashed = exitStatus == QProcess::CrashExit;
            end.exitCode = end.crashed ? -1 : exitCode;
            release();
            emit ended(end);
        });
    // QProcess on Linux reports the running state from the event loop, after start() has
    // returned. Waiting for it here makes running() arrive while the caller's start is
    // still on the stack, as the manager's process limit needs during a burst of starts
    // (the start-up scan, a drop of many files). A program that cannot be started reports
    // its failure here instead and so is never counted.
    proc->start(QIODevice::ReadWrite);
    proc->waitForStarted();
}

void ProgramRun::readOutput()
{
    if (!process)
        return;
    const QByteArray bytes = process->readAll();
    if (!bytes.isEmpty())
        emit output(bytes);
}

void ProgramRun::processStateChanged(QProcess::ProcessState state)
{
    switch (state) {
    case QProcess::Starting:
        emit starting();
        break;
    case QProcess::Running:
        ran = true;
        emit running();
        break;
    case QProcess::NotRunning:
        // Reported through finished() or errorOccurred(), which come with the reason.
        break;
    }
}

// The process object is deleted from the event loop: this may run inside its own signal.
void ProgramRun::release()
{
    if (!process)
        return;
    process->disconnect(this);
    process->deleteLater();
    process = nullptr;
}
