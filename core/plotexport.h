#ifndef PLOTEXPORT_H
#define PLOTEXPORT_H

#include "chiseries.h"

#include <QString>
#include <QVector>

// The common grid of a view's curves: the multiples of 0.05 1/A (k) or the transform's
// R_m (R) that lie within x0..x1 and within the span of the series' points.
QVector<double> viewGrid(PlotSpace space, double x0, double x1, const QVector<Series> &series);

// The view's data as CSV: a header "k" (or "R") and one column per series headed by its
// name, then one row per grid point with each series' value there by linear
// interpolation, left empty outside the series' points.
QString viewCsv(PlotSpace space, const QVector<double> &grid, const QVector<QString> &names,
    const QVector<Series> &series);

// '#' lines that name the view the columns come from: space, k-weight, part of chi(R),
// the transform's window and the offset of a stacked view (which the columns leave out).
QString viewCsvNotes(const PlotView &view);

// Writes the notes and viewCsv() on the grid of x0..x1 as UTF-8, replacing the file whole
// or not at all; false and the cause in error when it could not be written.
bool saveViewCsv(const QString &path, const PlotView &view, double x0, double x1,
    const QVector<QString> &names, const QVector<Series> &series, QString *error = nullptr);

#endif
