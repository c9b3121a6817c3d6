#include "body.h"

#include "demeter.h"
#include "gui.h"

#include <QDebug>
#include <QDir>
#include <QTimer>

Body::Body(const ParamStore *commandLine, QObject *parent)
    : QObject(parent)
{
    gui = new Gui(nullptr);
    connect(gui, &Gui::finishing, this, &Body::finishing);
    connect(this, &Body::log, gui, &Gui::log);
    connect(gui, &Gui::droppedCifFiles, this, &Body::droppedCifFiles);
    connect(gui, &Gui::droppedFeffFiles, this, &Body::droppedFeffFiles);

    if (!commandLine->contains("-noGui") && !commandLine->contains("-batch"))
        gui->show();

    QString configPath = "config.cfg";
    if (!commandLine->value("-c").isEmpty())
        configPath = commandLine->value("-c");
    else if (commandLine->contains("-config"))
        configPath = commandLine->value("-config");
    params.readConfigFile(configPath);

    maxProc = params.valueNoCase("MAX_PROC", "6").toInt(nullptr, 10);
    setupRunSettings(params, &settings);
    scanInputDirs();
    scheduleIdleCheck();
}

// The main window and the jobs stay: they live until the program ends.
Body::~Body() = default;

void Body::scanInputDirs()
{
    const QFileInfoList cifEntries =
        QDir(settings.cifFiles).entryInfoList(QStringList{"*.cif", "*.inp"});
    for (const QFileInfo &entry : cifEntries)
        newJob(entry, 1);
    const QFileInfoList inpEntries = QDir(settings.inpFiles).entryInfoList(QStringList{"*.inp"});
    for (const QFileInfo &entry : inpEntries)
        newJob(entry, 6);
}

void Body::newJob(const QFileInfo &file, int kind)
{
    auto *job = new Demeter(&settings, file, kind, nullptr);
    connect(job, &Demeter::procStarted, this, &Body::procStarted);
    connect(job, &Demeter::procStopped, this, &Body::procStopped);
    gui->addDemeter(job);
    allJobs.append(job);
    jobQueue.append(job);
    checkDemQue();
}

void Body::startNextJob()
{
    Demeter *job = jobQueue.first();
    job->start();
    jobQueue.removeFirst();
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
        newJob(QFileInfo(name), 1);
    scheduleIdleCheck();
}

void Body::droppedFeffFiles(const QStringList &files)
{
    for (const QString &name : files)
        newJob(QFileInfo(name), 6);
    scheduleIdleCheck();
}

bool Body::isIdle() const
{
    return procCount == 0 && (jobQueue.isEmpty() || maxProc <= 0);
}

// Checked from the event loop, not at once: a job whose Atoms run has just stopped
// starts its FEFF run right after reporting the stop.
void Body::scheduleIdleCheck()
{
    QTimer::singleShot(0, this, &Body::checkIdle);
}

void Body::checkIdle()
{
    if (isIdle())
        emit idle();
}
