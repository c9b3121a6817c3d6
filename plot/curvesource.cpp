// The only code of the plot that knows the job class.
#include "curvesource.h"

#include "job.h"
#include "showchi.h"

PlotCurve plotCurve(const PlotCurveSource &source, const PlotView &view, SeriesCache &cache)
{
    return PlotCurve { cache.series(*source.data, view), source.color, source.name };
}

PlotCurveSource ShowChi::curveSource(const Job *job)
{
    return PlotCurveSource{&job->chi(), QColor::fromRgba(job->curveColor()), job->inputName(),
                           job->isShown()};
}

bool ShowChi::isShown(const Job *job)
{
    return job->isShown();
}

void ShowChi::giveColour(Job *job, const QColor &colour)
{
    job->setCurveColor(colour.rgba());
}

void ShowChi::watchJob(Job *job)
{
    connect(job, &Job::newChi, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::showChanged, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::chiCleared, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::colorChanged, this, QOverload<>::of(&ShowChi::update));
}
