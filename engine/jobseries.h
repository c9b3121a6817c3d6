#ifndef JOBSERIES_H
#define JOBSERIES_H

#include "chiseries.h"

#include <QString>
#include <QVector>

class JobModel;

// One job's curve in a view: its row, its input's name, its colour (0xAARRGGBB, 0 for
// none) and its series.
struct JobSeries
{
    int row = -1;
    QString name;
    quint32 colour = 0;
    Series series;
};

// Which jobs a plot takes: those shown (Show ticked, with data or not), as the plot window
// does, or every job with data, as a batch does.
enum class SeriesOf { ShownJobs, JobsWithData };

// The curves of the model's jobs in the view, in the order of the rows; the plot window,
// the picture and the data a batch saves all take them from here.
QVector<JobSeries> jobSeries(
    const JobModel &model, const PlotView &view, SeriesCache &cache, SeriesOf which);

// The data of those curves that have points, on the view's grid of x0..x1, as CSV; false
// and the cause in error when the file could not be written.
bool saveSeriesCsv(const QString &path, const PlotView &view, double x0, double x1,
    const QVector<JobSeries> &series, QString *error = nullptr);

#endif
