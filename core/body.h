#ifndef BODY_H
#define BODY_H

#include "paramstore.h"
#include "runsettings.h"

#include <QFileInfo>
#include <QObject>
#include <QVector>

class Job;

// The job manager: makes a job of every input file, queues the jobs first in, first
// out and starts them while fewer than MAX_PROC outside processes run. Every program
// start goes through the queue: a job's first run and a FEFF restart alike.
class Body : public QObject
{
    Q_OBJECT

public:
    explicit Body(const ParamStore *commandLine, QObject *parent = nullptr);
    ~Body() override;

    // The start-up scan: the inputs in the CIF and INP folders become jobs.
    void scanInputDirs();
    void newJob(const QFileInfo &file, int kind);
    void startNextJob();

    const RunSettings &runSettings() const { return settings; }
    // Every job made in this run, in the order of making; the manager owns them.
    const QVector<Job *> &jobs() const { return allJobs; }
    int runningCount() const { return procCount; }
    int waitingCount() const { return jobQueue.size(); }
    int processLimit() const { return maxProc; }
    // No outside process runs and no waiting job can be started.
    bool isIdle() const;
    // Jobs made from now on keep no program output beyond what they need.
    void setKeepOutput(bool keep) { keepOutput = keep; }

signals:
    void finishing();
    void log(const QString &msg);
    // A new job, made and wired; a view makes its row now.
    void jobAdded(Job *job);
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
    void enqueue(Job *job);
    void scheduleIdleCheck();

    ParamStore params;
    RunSettings settings;
    int maxProc = 0;
    int procCount = 0;
    QVector<Job *> jobQueue;
    QVector<Job *> allJobs;
    bool keepOutput = true;
};

#endif
