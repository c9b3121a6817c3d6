#ifndef CURVESOURCE_H
#define CURVESOURCE_H

#include "chiplot.h"
#include "jobseries.h"

#include <QSize>
#include <QVector>

class CColors;
class Job;
class JobModel;
class JobRanking;
class MeasuredSpectrum;

// The curves of the model's jobs in the view (see jobSeries), each in its row's colour;
// rows gets the row of each curve.
QVector<PlotCurve> jobCurves(const JobModel &model, const PlotView &view, SeriesCache &cache,
    SeriesOf which, QVector<int> *rows = nullptr);
// Gives the model the plot's palette: row i takes its colour i until one is chosen.
void usePlotPalette(JobModel *model, const CColors &palette);
// The curves of the jobs with data, fitted, on a white picture of the given size (PNG, or
// SVG for \".svg\"), each in its palette colour. The legend names the curves unless legend
// is false; a caption names the view.
bool saveJobsPlot(const QString &path, const QVector<Job *> &jobs, const PlotView &view,
    bool legend, QString *error = nullptr, const QSize &size = QSize(800, 500));
// The measured spectrum's curve in the view: black and twice as wide as a job's.
PlotCurve measuredCurve(const MeasuredSpectrum &measured, const PlotView &view, SeriesCache &cache);
// The measured curve (black, thicker) and the fitted models of the five best-ranked jobs,
// each in its row's palette colour, fitted, on a white picture as saveJobsPlot draws it.
bool saveRankedPlot(const QString &path, const QVector<Job *> &jobs,
    const MeasuredSpectrum &measured, const JobRanking &ranking, const PlotView &view, bool legend,
    QString *error = nullptr, const QSize &size = QSize(800, 500));

#endif
