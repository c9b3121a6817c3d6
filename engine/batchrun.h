#ifndef BATCHRUN_H
#define BATCHRUN_H

#include "jobmodel.h"
#include "plotview.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTextStream>
#include <QVector>

#include <functional>

class Body;
class JobRanking;
class MeasuredSpectrum;
class ParamStore;
class Job;
class QTimer;

// A run without windows: writes the log to standard error as it comes, a progress line
// on a terminal and, when asked to, a job log; once the manager has become idle, reports
// every job, saves the plot and its data when asked to, and ends the program with a
// status a script can test. It reads the jobs as the rows of its own JobModel. SIGINT, SIGTERM and
// SIGHUP end the running programs and the run, with its report.
class BatchRun : public QObject
{
    Q_OBJECT

public:
    // Exit status: every job gave chi data; some job gave none (or an input became no
    // job); there was no job (or the run cannot go as configured); the plot or its data
    // could not be saved; another program holds the results folder.
    enum Status { AllGood = 0, SomeFailed = 1, NoJobs = 2, PlotNotSaved = 3, FolderInUse = 4 };
    // Saves the plot of the jobs' curves to a file in the view; false and the cause in
    // error when it could not.
    using PlotSaver = std::function<bool(
        const QString &path, const QVector<Job *> &jobs, const PlotView &view, QString *error)>;

    struct Options
    {
        QString plotPath;
        QString exportPath;
        QString jobLogPath;
        PlotView view;
        // The progress line on standard error; only for a terminal.
        bool progress = false;
        // With a measured spectrum: it goes into the data saved, every job is fitted to it
        // and, with rankPath, the ranking is written there once the last fit is back.
        const MeasuredSpectrum *measured = nullptr;
        JobRanking *ranking = nullptr;
        QString rankPath;
    };

    // Construct before the manager makes its jobs, so that every line of theirs is seen.
    BatchRun(Body *body, const Options &options, PlotSaver savePlot, QObject *parent = nullptr);

    // What keeps the outputs the command line names (-joblog, -plot, -export, -rank,
    // -measured-chi) from being
    // written: an option without its file name, or two options of one file; empty if none.
    static QString outputsProblem(const ParamStore &commandLine);

    static QString reportLine(const Job *job);
    // The untranslated word for how a job's run ended (ok, no-chi, exit-2, ...).
    static QString resultWord(const Job *job);
    static QString jobLogLine(int sequence, const Job *job);
    // A tab, a line break or a backslash in a file name, written as \t, \n, \\.
    static QString escaped(const QString &text);
    // A span of time as m:ss, or h:mm:ss from an hour on.
    static QString duration(qint64 seconds);
    static Status status(const JobModel &jobs, int skippedInputs = 0);
    // The data of the curves of the jobs with data, on the fitted view's grid, as CSV.
    // The measured spectrum's curve, when there is one, is the first column.
    static bool exportData(const QString &path, const JobModel &jobs, const PlotView &view,
        QString *error = nullptr, const MeasuredSpectrum *measured = nullptr);
    // The ranking's lines of the report: how many jobs were ranked and the five best.
    static QString rankingReport(const JobModel &jobs, const JobRanking &ranking);

    const JobModel &jobModel() const { return model; }

signals:
    void finished(int status);

private slots:
    void finish();

private:
    void watch(Job *job);
    void jobEnded(Job *job);
    void interrupt(int signal);
    void showProgress();
    void clearProgress();
    bool writeRanking(QTextStream &err);

    Body *body;
    // Read at the end and for the progress line, never watched.
    JobModel model { nullptr, JobModel::Changes::Untold };
    Options options;
    PlotSaver savePlot;
    QFile jobLog;
    bool jobLogFailed = false;
    QElapsedTimer clock;
    QTimer *progressTimer = nullptr;
    bool progressShown = false;
    int interruptedBy = 0;
    bool done = false;
};

#endif
