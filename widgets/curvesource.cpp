// The only code of the plot that knows the job class.
#include "curvesource.h"

#include "ccolors.h"
#include "job.h"
#include "showchi.h"

PlotCurve plotCurve(const PlotCurveSource &source, const PlotView &view, SeriesCache &cache)
{
    return PlotCurve { cache.series(*source.data, view), source.color, source.name };
}

PlotCurveSource ShowChi::curveSource(const Job *job)
{
    return PlotCurveSource { &job->chi(), QColor::fromRgba(job->curveColor()), job->inputName(),
        job->isShown() };
}

bool ShowChi::isShown(const Job *job) { return job->isShown(); }

void ShowChi::giveColour(Job *job, const QColor &colour) { job->setCurveColor(colour.rgba()); }

void ShowChi::watchJob(Job *job)
{
    connect(job, &Job::newChi, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::showChanged, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::chiCleared, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::colorChanged, this, QOverload<>::of(&ShowChi::update));
}

QVector<PlotCurve> jobCurves(const QVector<Job *> &jobs, const PlotView &view, SeriesCache &cache)
{
    const CColors palette;
    QVector<PlotCurve> curves;
    for (int i = 0; i < jobs.size(); ++i) {
        const Job *job = jobs.at(i);
        if (!job->chi().valid)
            continue;
        const QColor colour = job->curveColor() != 0 ? QColor::fromRgba(job->curveColor())
                                                     : palette.color(i % palette.count());
        curves.append(PlotCurve { cache.series(job->chi(), view), colour, job->inputName() });
    }
    return curves;
}

bool saveJobsPlot(const QString &path, const QVector<Job *> &jobs, const PlotView &view,
    bool legend, QString *error, const QSize &size)
{
    SeriesCache cache;
    PlotDecor decor;
    decor.xTitle = xTitle(view);
    decor.yTitle = yTitle(view);
    decor.legend = legend;
    decor.caption = viewCaption(view);
    return saveFittedPlot(path, size, view.space, jobCurves(jobs, view, cache), decor, error);
}
