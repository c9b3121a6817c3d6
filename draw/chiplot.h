#ifndef CHIPLOT_H
#define CHIPLOT_H

#include "chiseries.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

class ChCoord;
class QPainter;

// One curve to plot: a job's series in the job's colour, named after its input; a measured
// spectrum is drawn wider.
struct PlotCurve
{
    Series series;
    QColor color;
    QString name;
    int width = 1;
};

// What is drawn around the curves: the axis titles, when asked for the legend, and a
// caption that names the view. exact: the curves through their exact points, as a vector
// picture may draw them, not through whole pixels as a screen shows them.
struct PlotDecor
{
    QString xTitle;
    QString yTitle;
    bool legend = false;
    QString caption;
    bool exact = false;
    // In a k view: the transform's window, drawn as a dashed outline that rises from zero
    // (or the bottom of the plot) to windowHeight of the y range, whatever the zoom.
    bool showWindow = false;
    FtParams window;
};

// The outline's height as a fraction of the plot's y range: a window, not data.
constexpr double windowHeight = 0.4;

// The legend's lines for the given names: at most maxNames of them, then "... and N more".
QStringList legendLines(const QVector<QString> &names, int maxNames = 20);

// The line style of each curve: solid, but a curve whose colour and width an earlier one in
// the list has already gets the next of dashed, dotted, dash-dotted and dash-dot-dotted, so
// that curves stay apart when colours repeat.
QVector<Qt::PenStyle> curveStyles(const QVector<PlotCurve> &curves);

// Draws, with the window, plot area and data range of coord as they stand: the curves
// (clipped to the plot area), the FT window's outline when asked for, the grid with its labels, the
// frame, the axis titles and the legend, in that order.
void drawChiPlot(
    QPainter *p, const ChCoord &coord, const QVector<PlotCurve> &curves, const PlotDecor &decor);

// Draws the plot as drawChiPlot does onto a white picture of the given size with the data
// range of view, as PNG, or as SVG when the path ends in ".svg". The file is replaced
// whole or not at all; false and the cause in error when it could not be written.
bool savePlotPicture(const QString &path, const QSize &size, const ChCoord &view,
    const QVector<PlotCurve> &curves, const PlotDecor &decor, QString *error = nullptr);

// The same, with the data range fitted to the curves in the given space.
bool saveFittedPlot(const QString &path, const QSize &size, PlotSpace space,
    const QVector<PlotCurve> &curves, const PlotDecor &decor, QString *error = nullptr);

// The index of the series whose line passes nearest to the pixel (px, py) under the
// mapping of coord, if within maxPixels of it; -1 for none.
int nearestSeries(
    const QVector<Series> &series, const ChCoord &coord, double px, double py, double maxPixels);

#endif
