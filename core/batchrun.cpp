#include "batchrun.h"

#include "body.h"
#include "chiplot.h"
#include "demeter.h"

#include <QTextStream>
#include <cstdio>

BatchRun::BatchRun(Body *manager, const QString &plot, QObject *parent)
    : QObject(parent)
    , body(manager)
    , plotPath(plot)
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

bool BatchRun::savePlot(const QString &path, const QVector<Demeter *> &jobs, const QSize &size)
{
    QVector<ChiCurve> curves;
    for (const Demeter *job : jobs)
        if (job->chi().valid)
            curves.append(ChiCurve{&job->chi(), job->color()});
    return saveChiPlot(path, curves, size);
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
        if (savePlot(plotPath, jobs))
            err << "Plot saved to " << plotPath << '\n';
        else {
            err << "Can not save the plot to " << plotPath << '\n';
            if (result == AllGood)
                result = PlotNotSaved;
        }
    }
    err.flush();
    emit finished(result);
}
