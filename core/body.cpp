#include "body.h"

#include "job.h"

#include <QDebug>
#include <QDir>
#include <QTimer>

Body::Body(const ParamStore *commandLine, QObject *parent)
    : QObject(parent)
{
    QString configPath = "config.cfg";
    if (!commandLine->value("-c").isEmpty())
        configPath = commandLine->value("-c");
    else if (commandLine->contains("-config"))
        configPath = commandLine->value("-config");
    params.readConfigFile(configPath);

    maxProc = params.valueNoCase("MAX_PROC", "6").toInt(nullptr, 10);
    setupRunSettings(params, &settings);
}

// The jobs go with the manager; programs still running go on.
Body::~Body() = default;

void Body::scanInputDirs()
{
    const QFileInfoList cifEntries
        = QDir(settings.cifFiles).entryInfoList(QStringList { "*.cif", "*.inp" });
    for (const QFileInfo &entry : cifEntries)
        newJob(entry, Job::AtomsInput);
    const QFileInfoList inpEntries = QDir(settings.inpFiles).entryInfoList(QStringList { "*.inp" });
    for (const QFileInfo &entry : inpEntries)
        newJob(entry, Job::FeffInput);
    scheduleIdleCheck();
}

void Body::newJob(const QFileInfo &file, int kind)
{
    auto *job = new Job(&settings, file, kind, this);
    job->setKeepOutput(keepOutput);
    connect(job, &Job::procStarted, this, &Body::procStarted);
    connect(job, &Job::procStopped, this, &Body::procStopped);
    connect(job, &Job::startRequested, this, [this, job] { enqueue(job); });
    allJobs.append(job);
    emit jobAdded(job);
    enqueue(job);
}

void Body::enqueue(Job *job)
{
    jobQueue.append(job);
    checkDemQue();
}

void Body::startNextJob()
{
    Job *job = jobQueue.takeFirst();
    job->start();
}

void Body::procStarted()
{
    ++procCount;
    qDebug() << "Proc count" << procCount;
}

void Body::procStopped()
{
    --procCount;
    qDebug() << "Proc count" << procCount;
    checkDemQue();
    scheduleIdleCheck();
}

void Body::checkDemQue()
{
    // A job whose program cannot start takes no place and reports no stop, so the next
    // one is tried at once: with nothing else running, no later stop would start it.
    while (!jobQueue.isEmpty() && procCount < maxProc)
        startNextJob();
}

void Body::droppedCifFiles(const QStringList &files)
{
    for (const QString &name : files)
        newJob(QFileInfo(name), Job::AtomsInput);
    scheduleIdleCheck();
}

void Body::droppedFeffFiles(const QStringList &files)
{
    for (const QString &name : files)
        newJob(QFileInfo(name), Job::FeffInput);
    scheduleIdleCheck();
}

bool Body::isIdle() const { return procCount == 0 && (jobQueue.isEmpty() || maxProc <= 0); }

// Checked from the event loop, not at once: a restart asked for from a job's own report
// is queued right after it.
void Body::scheduleIdleCheck() { QTimer::singleShot(0, this, &Body::checkIdle); }

void Body::checkIdle()
{
    if (isIdle())
        emit idle();
}
