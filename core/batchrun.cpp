#include "batchrun.h"

#include "body.h"
#include "chiplot.h"
#include "demeter.h"
#include "plotexport.h"
#include "showchi.h"

#include <QTextStream>
#include <cstdio>

BatchRun::BatchRun(Body *manager, const QString &plot, QObject *parent)
    : BatchRun(manager, plot, QString(), PlotView(), parent)
{
}

BatchRun::BatchRun(Body *manager, const QString &plot, const QString &csv, const PlotView &plotView,
    QObject *parent)
    : QObject(parent)
    , body(manager)
    , plotPath(plot)
    , exportPath(csv)
    , view(plotView)
{
    connect(body, &Body::idle, this, &BatchRun::finish);
}

QString BatchRun::reportLine(const Demeter *job)
{
    return QStringList{job->inputPath(), job->atomsStatus(), job->feffStatus(),
                       QString::number(job->chi().kValues.size()), job->workingDirectory()}
        .join('\t');
}

BatchRun::Status BatchRun::status(const QVector<Demeter *> &jobs)
{
    if (jobs.isEmpty())
        return NoJobs;
    for (const Demeter *job : jobs)
        if (!job->chi().valid)
            return SomeFailed;
    return AllGood;
}

// The curves of the jobs with data, in the view, in their palette colours.
static QVector<PlotCurve> curvesWithData(const QVector<Demeter *> &jobs, const PlotView &view)
{
    SeriesCache cache;
    QVector<PlotCurve> curves;
    for (const Demeter *job : jobs) {
        const PlotCurveSource source = ShowChi::curveSource(job);
        if (source.data->valid)
            curves.append(plotCurve(source, view, cache));
    }
    return curves;
}

bool BatchRun::savePlot(
    const QString &path, const QVector<Demeter *> &jobs, const QSize &size, const PlotView &view)
{
    return saveFittedPlot(path, size, view.space, curvesWithData(jobs, view),
        PlotDecor { xTitle(view), yTitle(view), false });
}

bool BatchRun::exportData(const QString &path, const QVector<Demeter *> &jobs, const PlotView &view)
{
    QVector<QString> names;
    QVector<Series> series;
    for (const PlotCurve &curve : curvesWithData(jobs, view)) {
        names.append(curve.name);
        series.append(curve.series);
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
    // Terminals and scripts on Linux read UTF-8, whatever the locale codec of files.
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QTextStream err(stderr);
    err.setCodec("UTF-8");
    const QVector<Demeter *> &jobs = body->jobs();
    for (const Demeter *job : jobs)
        out << reportLine(job) << '\n';
    out.flush();

    Status result = status(jobs);
    int good = 0;
    for (const Demeter *job : jobs)
        good += job->chi().valid;
    err << good << " of " << jobs.size() << " jobs produced chi data\n";
    if (!plotPath.isEmpty()) {
        if (savePlot(plotPath, jobs, QSize(800, 500), view))
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
