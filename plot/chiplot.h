#ifndef CHIPLOT_H
#define CHIPLOT_H

#include <QColor>
#include <QSize>
#include <QString>
#include <QVector>

class ChCoord;
class ChiData;
class Job;
class QPainter;

// One curve to plot: a job's chi data in the job's colour.
struct ChiCurve
{
    const ChiData *data = nullptr;
    QColor color;
};

// The view that fits the given data: k from the least to the greatest k, chi symmetric
// about zero. Empty ranges are widened around their value and unusable data falls back
// to k 0..20, chi -1..1. Returns false, leaving the bounds alone, when given no data.
bool fitChiRange(
    const QVector<const ChiData *> &shown, double &x0, double &y0, double &x1, double &y1);

// Draws the curves, the grid with its labels and the frame of the plot area, with the
// window, plot area and data range of coord as they stand.
void drawChiPlot(QPainter *p, const ChCoord &coord, const QVector<ChiCurve> &curves);

// Saves the curves, fitted to their data on a white background, as PNG, or as SVG
// when the path ends in ".svg". Returns false when the file could not be written.
bool saveChiPlot(const QString &path, const QVector<ChiCurve> &curves, const QSize &size);

// The curves of the jobs that have data, each in its colour or, where the plot window has
// given it none, in the palette's colour for its place among the jobs.
QVector<ChiCurve> jobCurves(const QVector<Job *> &jobs);

#endif
