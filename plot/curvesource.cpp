// The only code of the plot that knows the job class.
#include "curvesource.h"

#include "demeter.h"
#include "showchi.h"

PlotCurve plotCurve(const PlotCurveSource &source, const PlotView &view, SeriesCache &cache)
{
    return PlotCurve { cache.series(*source.data, view), source.color, source.name };
}

PlotCurveSource ShowChi::curveSource(const Demeter *job)
{
    return PlotCurveSource { &job->chi(), job->color(), QFileInfo(job->inputPath()).fileName(),
        job->Show->isChecked() };
}

bool ShowChi::isShown(const Demeter *job) { return job->Show->isChecked(); }

void ShowChi::giveColour(Demeter *job, const QColor &colour)
{
    job->curveColor = colour;
    job->ColorDisp->bgColor = colour;
}

void ShowChi::watchJob(Demeter *job)
{
    connect(job, &Demeter::newChi, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Demeter::showChanged, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Demeter::chiCleared, this, QOverload<>::of(&ShowChi::update));
}
