#ifndef BODY_H
#define BODY_H

#include "paramstore.h"
#include "resultslock.h"
#include "runsettings.h"
#include "scheduler.h"
#include "workdirs.h"

#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <QVector>

class InputFeed;
class Job;
struct FolderListing;

// The job manager: makes a job of every input file (a slice at a time, in the order the
// inputs came) and hands its program starts to the scheduler, which starts them first in,
// first out while fewer than MAX_PROC outside programs run. Every program start goes
// through the queue: a job's first run and a FEFF restart alike. One manager at a time
// works in a results folder: it holds a lock on it.
class Body : public QObject
{
    Q_OBJECT

public:
    explicit Body(const ParamStore *commandLine, QObject *parent = nullptr);
    ~Body() override;

    // The start-up scan: the inputs in the CIF and INP folders become jobs, the first at
    // once and the others from the event loop.
    void scanInputDirs();
    void newJob(const QFileInfo &file, int kind);
    void startNextJob();

    const RunSettings &runSettings() const { return settings; }
    // Every job made in this run, in the order of making; the manager owns them.
    const QVector<Job *> &jobs() const { return allJobs; }
    int runningCount() const { return procCount; }
    int waitingCount() const { return scheduler.waiting(); }
    int processLimit() const { return maxProc; }
    // Every input is a job, no outside process runs and no waiting job can be started.
    bool isIdle() const;
    // Inputs that wait to become jobs.
    int waitingInputs() const;
    // Jobs made from now on keep no program output beyond what they need.
    void setKeepOutput(bool keep) { keepOutput = keep; }
    // Jobs made from now on take the result of an earlier good run of the same input.
    void setResume(bool on) { resume = on; }

    // What keeps the run from going as configured: a configuration file or a folder that
    // cannot be read or written (or, once scanned, listed), a MAX_PROC or a time limit that
    // means nothing. Each names what it is about.
    QStringList setupProblems() const { return problems; }
    // Another program holds the results folder: the message that says so, else empty.
    QString lockProblem() const { return lockMessage; }
    // Inputs that became no job (not a regular file, too large, a name that is not
    // UTF-8), with why.
    QStringList skippedInputs() const { return skipped; }
    // Stops taking jobs from the queue, and ends every running program.
    void stopAll();

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

private:
    void readProcessLimit();
    void readTimeLimits(bool batch);
    void checkFolders();
    void lockResults();
    bool acceptInput(const QFileInfo &file);
    FolderListing listInputs(const QString &dir, const QStringList &suffixes);

    ParamStore params;
    RunSettings settings;
    InputFeed *feed;
    int maxProc = 0;
    int procCount = 0;
    Scheduler scheduler;
    WorkDirs workDirs;
    ResultsLock lock;
    QVector<Job *> allJobs;
    bool keepOutput = true;
    bool resume = false;
    QStringList problems;
    QStringList skipped;
    QString lockMessage;
};

#endif
