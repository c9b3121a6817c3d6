#ifndef BATCHRUN_H
#define BATCHRUN_H

#include "plotview.h"

#include <QObject>
#include <QSize>
#include <QString>

class Body;
class Demeter;
class QTextStream;

// A run without windows: once the manager has become idle, reports every job, saves
// the plot and its data when asked to, and ends the program with a status a script can test.
class BatchRun : public QObject
{
    Q_OBJECT

public:
    // Exit status: every job gave chi data; some job gave none; there was no job.
    enum Status { AllGood = 0, SomeFailed = 1, NoJobs = 2, PlotNotSaved = 3 };

    BatchRun(Body *body, const QString &plotPath, QObject *parent = nullptr);
    // The plot and the CSV of its data (either path may be empty) in the given view.
    BatchRun(Body *body, const QString &plotPath, const QString &exportPath, const PlotView &view,
        QObject *parent = nullptr);

    static QString reportLine(const Demeter *job);
    static Status status(const QVector<Demeter *> &jobs);
    // Saves the curves of the jobs that have data, fitted, in their palette colours.
    static bool savePlot(const QString &path, const QVector<Demeter *> &jobs,
        const QSize &size = QSize(800, 500), const PlotView &view = PlotView());
    // Saves the data of the same curves on the fitted view's grid as CSV.
    static bool exportData(
        const QString &path, const QVector<Demeter *> &jobs, const PlotView &view);

signals:
    void finished(int status);

private slots:
    void finish();

private:
    Body *body;
    QString plotPath;
    QString exportPath;
    PlotView view;
    bool done = false;
};

#endif
