#ifndef BATCHRUN_H
#define BATCHRUN_H

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class Body;
class Job;

// A run without windows: writes the log to standard error as it comes; once the manager
// has become idle, reports every job, saves the plot when asked to, and ends the program
// with a status a script can test.
class BatchRun : public QObject
{
    Q_OBJECT

public:
    // Exit status: every job gave chi data; some job gave none; there was no job.
    enum Status { AllGood = 0, SomeFailed = 1, NoJobs = 2, PlotNotSaved = 3 };
    // Saves the plot of the jobs' curves to a file; false when it could not.
    using PlotSaver = std::function<bool(const QString &path, const QVector<Job *> &jobs)>;

    // Construct before the manager makes its jobs, so that every line of theirs is seen.
    BatchRun(Body *body, const QString &plotPath, PlotSaver savePlot, QObject *parent = nullptr);

    static QString reportLine(const Job *job);
    static Status status(const QVector<Job *> &jobs);

signals:
    void finished(int status);

private slots:
    void finish();

private:
    void watch(Job *job);

    Body *body;
    QString plotPath;
    PlotSaver savePlot;
    bool done = false;
};

#endif
