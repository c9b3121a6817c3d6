#ifndef BODY_H
#define BODY_H

#include "paramstore.h"
#include "runsettings.h"

#include <QFileInfo>
#include <QObject>
#include <QVector>

class Demeter;
class Gui;

// The job manager: makes a job of every input file, queues the jobs first in, first
// out and starts them while fewer than MAX_PROC outside processes run.
class Body : public QObject
{
    Q_OBJECT

public:
    explicit Body(const ParamStore *commandLine, QObject *parent = nullptr);
    ~Body() override;

    void newJob(const QFileInfo &file, int kind);
    void startNextJob();
    void scanInputDirs();

    Gui *mainWindow() const { return gui; }
    const RunSettings &runSettings() const { return settings; }
    // Every job made in this run, in the order of making.
    const QVector<Demeter *> &jobs() const { return allJobs; }
    int runningCount() const { return procCount; }
    int waitingCount() const { return jobQueue.size(); }
    int processLimit() const { return maxProc; }
    // No outside process runs and no waiting job can be started.
    bool isIdle() const;

signals:
    void finishing();
    void log(const QString &msg);
    // Emitted from the event loop whenever the manager has become idle.
    void idle();

public slots:
    void droppedCifFiles(const QStringList &files);
    void droppedFeffFiles(const QStringList &files);

private slots:
    void procStarted();
    void procStopped();
    void checkDemQue();
    void checkIdle();

private:
    void scheduleIdleCheck();

    Gui *gui = nullptr;
    ParamStore params;
    RunSettings settings;
    int maxProc = 0;
    int procCount = 0;
    QVector<Demeter *> jobQueue;
    QVector<Demeter *> allJobs;
};

#endif
