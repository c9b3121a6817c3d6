#ifndef CHISERIES_H
#define CHISERIES_H

#include "plotview.h"

#include <QHash>
#include <QVector>

class ChiData;

// The points one curve of a view plots (k^w chi(k) against k, or |chi(R)| against R),
// with their extremes. Copies share the points.
struct Series
{
    QVector<double> x;
    QVector<double> y;
    // false: made from data without points; it plots nothing and fits as k 0..20, chi -1..1.
    bool valid = false;
    // x never decreases, so the visible part can be found by bisection.
    bool ascending = true;
    double xMin = 0, xMax = 20, yMin = -1, yMax = 1;
};

// k^w chi(k) at the data's own points.
Series kSeries(const ChiData &data, int kWeight);
// |chi(R_m)| (or its real or imaginary part) of k^w chi(k) with the given window, for
// R_m < N/2 * rStep.
Series rSeries(const ChiData &data, int kWeight, const FtParams &ft, RPart part = RPart::Magnitude);
// The series moved up by dy, for a stacked view.
Series shifted(const Series &s, double dy);

// The series of a view for each data set, computed once per reading of the data (its
// generation) and per parameters, and kept while the view stays.
class SeriesCache
{
public:
    Series series(const ChiData &data, const PlotView &view);
    // How many series were computed, not taken from the cache.
    int computed() const { return computedCount; }

private:
    struct Entry
    {
        quint64 generation = 0;
        int kWeight = -1;
        Series k;
        int rWeight = -1;
        FtParams ft;
        RPart rPart = RPart::Magnitude;
        Series r;
    };
    QHash<const ChiData *, Entry> entries;
    int computedCount = 0;
};

// The data range that fits the shown series: in k space the least to the greatest k and
// a y range symmetric about zero (a series without points counting as k 0..20, chi -1..1;
// empty ranges widened); in R space R 0..6 A and y from 0 (from the lowest point there,
// for a part of chi(R) or stacked curves) to a little above the highest point there.
// False, leaving the bounds alone, for no series.
bool fitView(
    PlotSpace space, const QVector<Series> &shown, double &x0, double &y0, double &x1, double &y1);

// The indices first..last of the points that reach x0..x1, with one point beyond each end
// for the segments that cross into it; all points of a series that is not ascending.
void visibleRange(const Series &s, double x0, double x1, int &first, int &last);

// The series' value at x by linear interpolation; false outside its points.
bool seriesValueAt(const Series &s, double x, double *value);

#endif
