#include "curvesource.h"

#include "ccolors.h"
#include "jobmodel.h"

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

bool saveJobsPlot(const QString &path, const QVector<Job *> &jobs, const PlotView &view,
    bool legend, QString *error, const QSize &size)
{
    JobModel model(nullptr, JobModel::Changes::Untold);
    model.addJobs(jobs);
    usePlotPalette(&model, CColors());
    SeriesCache cache;
    PlotDecor decor;
    decor.xTitle = xTitle(view);
    decor.yTitle = yTitle(view);
    decor.legend = legend;
    decor.caption = viewCaption(view);
    return saveFittedPlot(path, size, view.space,
        jobCurves(model, view, cache, SeriesOf::JobsWithData), decor, error);
}
