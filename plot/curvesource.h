#ifndef CURVESOURCE_H
#define CURVESOURCE_H

#include "chiplot.h"

#include <QColor>
#include <QString>

class ChiData;

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

#endif
