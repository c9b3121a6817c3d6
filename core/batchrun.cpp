#include "batchrun.h"

#include "body.h"
#include "chiseries.h"
#include "job.h"
#include "plotexport.h"

#include <QTextStream>
#include <cstdio>

namespace {

// Terminals and scripts on Linux read UTF-8, whatever the encoding of the input files.
void writeLogLine(const QString &msg)
{
    std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace

BatchRun::BatchRun(Body *manager, const QString &plot, const QString &csv, const PlotView &plotView,
                   PlotSaver saver, QObject *parent)
    : QObject(parent)
    , body(manager)
    , plotPath(plot)
    , exportPath(csv)
    , view(plotView)
    , savePlot(std::move(saver))
{
    body->setKeepOutput(false);
    connect(body, &Body::log, this, &writeLogLine);
    connect(body, &Body::jobAdded, this, &BatchRun::watch);
    for (Job *job : body->jobs())
        watch(job);
    connect(body, &Body::idle, this, &BatchRun::finish);
}

void BatchRun::watch(Job *job)
{
    connect(job, &Job::log, this, &writeLogLine);
}

QString BatchRun::reportLine(const Job *job)
{
    return QStringList{job->inputPath(), job->statusText(Job::Program::Atoms),
                       job->statusText(Job::Program::Feff),
                       QString::number(job->chi().kValues.size()), job->workingDirectory()}
        .join('\t');
}

BatchRun::Status BatchRun::status(const QVector<Job *> &jobs)
{
    if (jobs.isEmpty())
        return NoJobs;
    for (const Job *job : jobs)
        if (!job->chi().valid)
            return SomeFailed;
    return AllGood;
}

bool BatchRun::exportData(const QString &path, const QVector<Job *> &jobs, const PlotView &view)
{
    SeriesCache cache;
    QVector<QString> names;
    QVector<Series> series;
    for (const Job *job : jobs) {
        if (!job->chi().valid)
            continue;
        names.append(job->inputName());
        series.append(cache.series(job->chi(), view));
    }
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    fitView(view.space, series, x0, y0, x1, y1);
    return saveViewCsv(path, view.space, x0, x1, names, series);
}

void BatchRun::finish()
{
    if (done)
        return;
    done = true;
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QTextStream err(stderr);
    err.setCodec("UTF-8");
    const QVector<Job *> &jobs = body->jobs();
    for (const Job *job : jobs)
        out << reportLine(job) << '\n';
    out.flush();

    Status result = status(jobs);
    int good = 0;
    for (const Job *job : jobs)
        good += job->chi().valid;
    err << good << " of " << jobs.size() << " jobs produced chi data\n";
    if (!plotPath.isEmpty()) {
        if (savePlot && savePlot(plotPath, jobs, view))
            err << "Plot saved to " << plotPath << '\n';
        else {
            err << "Can not save the plot to " << plotPath << '\n';
            if (result == AllGood)
                result = PlotNotSaved;
        }
    }
    if (!exportPath.isEmpty()) {
        if (exportData(exportPath, jobs, view))
            err << "Data saved to " << exportPath << '\n';
        else {
            err << "Can not save the data to " << exportPath << '\n';
            if (result == AllGood)
                result = PlotNotSaved;
        }
    }
    err.flush();
    emit finished(result);
}
