#include "jobseries.h"

#include "jobmodel.h"
#include "plotexport.h"

QVector<JobSeries> jobSeries(
    const JobModel &model, const PlotView &view, SeriesCache &cache, SeriesOf which)
{
    QVector<JobSeries> curves;
    for (int row = 0; row < model.rowCount(); ++row) {
        const Job *job = model.job(row);
        const bool taken = which == SeriesOf::ShownJobs ? model.isShown(row) : job->chi().valid;
        if (taken)
            curves.append(JobSeries {
                row, model.name(row), model.colour(row), cache.series(job->chi(), view) });
    }
    return curves;
}

bool saveSeriesCsv(const QString &path, const PlotView &view, double x0, double x1,
    const QVector<JobSeries> &series, QString *error)
{
    QVector<QString> names;
    QVector<Series> withPoints;
    for (const JobSeries &curve : series)
        if (curve.series.valid) {
            names.append(curve.name);
            withPoints.append(curve.series);
        }
    return saveViewCsv(path, view, x0, x1, names, withPoints, error);
}
