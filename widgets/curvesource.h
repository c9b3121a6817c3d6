#ifndef CURVESOURCE_H
#define CURVESOURCE_H

#include "chiplot.h"

#include <QColor>
#include <QSize>
#include <QString>

class ChiData;
class Job;

// What the plot reads of one job: its chi data, its colour, its input file's name and
// whether its Show box is ticked. ShowChi::curveSource() makes one from a job.
struct PlotCurveSource
{
    const ChiData *data = nullptr;
    QColor color;
    QString name;
    bool shown = false;
};

// The source's curve in the view, its series taken from the cache.
PlotCurve plotCurve(const PlotCurveSource &source, const PlotView &view, SeriesCache &cache);

// The curves of the jobs that have data, in the view, each in its colour or, where no
// plot window has given it one, in the palette's colour for its place among the jobs.
QVector<PlotCurve> jobCurves(const QVector<Job *> &jobs, const PlotView &view, SeriesCache &cache);
// Those curves, fitted, on a white picture of the given size (PNG, or SVG for ".svg").
// The legend names the curves unless legend is false; a caption names the view.
bool saveJobsPlot(const QString &path, const QVector<Job *> &jobs, const PlotView &view,
    bool legend, QString *error = nullptr, const QSize &size = QSize(800, 500));

#endif
