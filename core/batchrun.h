#ifndef BATCHRUN_H
#define BATCHRUN_H

#include "plotview.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

class Body;
class Job;

// A run without windows: writes the log to standard error as it comes; once the manager
// has become idle, reports every job, saves the plot and its data when asked to, and ends
// the program with a status a script can test.
class BatchRun : public QObject
{
    Q_OBJECT

public:
    // Exit status: every job gave chi data; some job gave none; there was no job (or the
    // command line asks for what cannot be); the plot or its data could not be saved.
    enum Status { AllGood = 0, SomeFailed = 1, NoJobs = 2, PlotNotSaved = 3 };
    // Saves the plot of the jobs' curves to a file in the view; false when it could not.
    using PlotSaver =
        std::function<bool(const QString &path, const QVector<Job *> &jobs, const PlotView &view)>;

    // Construct before the manager makes its jobs, so that every line of theirs is seen.
    // The plot and the CSV of its data go to their paths when they are not empty.
    BatchRun(Body *body, const QString &plotPath, const QString &exportPath, const PlotView &view,
             PlotSaver savePlot, QObject *parent = nullptr);

    static QString reportLine(const Job *job);
    static Status status(const QVector<Job *> &jobs);
    // The data of the curves of the jobs with data, on the fitted view's grid, as CSV.
    static bool exportData(const QString &path, const QVector<Job *> &jobs, const PlotView &view);

signals:
    void finished(int status);

private slots:
    void finish();

private:
    void watch(Job *job);

    Body *body;
    QString plotPath;
    QString exportPath;
    PlotView view;
    PlotSaver savePlot;
    bool done = false;
};

#endif
