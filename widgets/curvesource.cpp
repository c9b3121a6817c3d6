#include "curvesource.h"

#include "ccolors.h"
#include "fittedmodels.h"
#include "jobmodel.h"
#include "jobranking.h"
#include "measurement.h"

QVector<PlotCurve> jobCurves(const JobModel &model, const PlotView &view, SeriesCache &cache,
    SeriesOf which, QVector<int> *rows)
{
    QVector<PlotCurve> curves;
    for (const JobSeries &curve : jobSeries(model, view, cache, which)) {
        curves.append(PlotCurve { curve.series, QColor::fromRgba(curve.colour), curve.name });
        if (rows)
            rows->append(curve.row);
    }
    return curves;
}

void usePlotPalette(JobModel *model, const CColors &palette)
{
    QVector<quint32> colours;
    for (const QColor &colour : palette.colors)
        colours.append(colour.rgba());
    model->setPalette(colours);
}

namespace {

PlotDecor pictureDecor(const PlotView &view, bool legend)
{
    PlotDecor decor;
    decor.xTitle = xTitle(view);
    decor.yTitle = yTitle(view);
    decor.legend = legend;
    decor.caption = viewCaption(view);
    return decor;
}

} // namespace

bool saveJobsPlot(const QString &path, const QVector<Job *> &jobs, const PlotView &view,
    bool legend, QString *error, const QSize &size)
{
    JobModel model(nullptr, JobModel::Changes::Untold);
    model.addJobs(jobs);
    usePlotPalette(&model, CColors());
    SeriesCache cache;
    return saveFittedPlot(path, size, view.space,
        jobCurves(model, view, cache, SeriesOf::JobsWithData), pictureDecor(view, legend), error);
}

PlotCurve measuredCurve(const MeasuredSpectrum &measured, const PlotView &view, SeriesCache &cache)
{
    return PlotCurve { cache.series(measured.chi(), view), Qt::black, measured.name(), 2 };
}

bool saveRankedPlot(const QString &path, const QVector<Job *> &jobs,
    const MeasuredSpectrum &measured, const JobRanking &ranking, const PlotView &view, bool legend,
    QString *error, const QSize &size)
{
    JobModel model(nullptr, JobModel::Changes::Untold);
    model.addJobs(jobs);
    usePlotPalette(&model, CColors());
    SeriesCache cache;
    QVector<PlotCurve> curves { measuredCurve(measured, view, cache) };
    FittedModels fitted;
    fitted.setRanking(&ranking);
    for (const Job *job : ranking.best(5)) {
        const int row = model.row(job);
        curves.append(
            PlotCurve { cache.series(fitted.data(job), view), QColor::fromRgba(model.colour(row)),
                QStringLiteral("%1 %2 (fit)").arg(ranking.entry(job).rank).arg(model.name(row)) });
    }
    return saveFittedPlot(path, size, view.space, curves, pictureDecor(view, legend), error);
}
