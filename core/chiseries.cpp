#include "chiseries.h"

#include "chidata.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

void takeExtremes(Series &s)
{
    s.valid = !s.x.isEmpty();
    if (!s.valid)
        return;
    s.xMin = s.yMin = 1e300;
    s.xMax = s.yMax = -1e300;
    for (int i = 0; i < s.x.size(); ++i) {
        ChiData::updateRange(s.x[i], s.xMin, s.xMax);
        ChiData::updateRange(s.y[i], s.yMin, s.yMax);
        if (i > 0 && s.x[i] < s.x[i - 1])
            s.ascending = false;
    }
}

void widenIfEmpty(double &lo, double &hi)
{
    if (lo < hi)
        return;
    const double half = lo == 0 ? 1.0 : std::abs(lo) * 0.1;
    const double centre = lo;
    lo = centre - half;
    hi = centre + half;
}

bool usable(double lo, double hi)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo < hi && std::isfinite(hi - lo);
}

// Squared distance from (px, py) to the segment a..b.

} // namespace

void visibleRange(const Series &s, double x0, double x1, int &first, int &last)
{
    first = 0;
    last = s.x.size() - 1;
    if (!s.ascending)
        return;
    const double lo = std::min(x0, x1), hi = std::max(x0, x1);
    first = int(std::lower_bound(s.x.begin(), s.x.end(), lo) - s.x.begin()) - 1;
    last = int(std::upper_bound(s.x.begin(), s.x.end(), hi) - s.x.begin());
    first = std::max(first, 0);
    last = std::min(last, s.x.size() - 1);
}

Series kSeries(const ChiData &data, int kWeight)
{
    Series s;
    s.x = data.kValues;
    if (kWeight == 0) {
        s.y = data.chiValues;
    } else {
        s.y.resize(data.chiValues.size());
        for (int i = 0; i < s.y.size(); ++i) {
            double w = data.chiValues[i];
            for (int p = 0; p < kWeight; ++p)
                w *= data.kValues[i];
            s.y[i] = w;
        }
    }
    takeExtremes(s);
    return s;
}

Series rSeries(const ChiData &data, int kWeight, const FtParams &ft, RPart part)
{
    QVector<double> k = data.kValues, chi = data.chiValues;
    if (!std::is_sorted(k.begin(), k.end())) {
        QVector<int> order(k.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return k[a] < k[b]; });
        QVector<double> sk, sc;
        for (int i : order) {
            sk << data.kValues[i];
            sc << data.chiValues[i];
        }
        k = sk;
        chi = sc;
    }
    Series s;
    s.y = part == RPart::Magnitude ? chiRMagnitude(k, chi, kWeight, ft)
                                   : chiRPart(k, chi, kWeight, ft, part == RPart::Imaginary);
    s.x.resize(s.y.size());
    const double step = fourier::rStep();
    for (int m = 0; m < s.x.size(); ++m)
        s.x[m] = m * step;
    takeExtremes(s);
    return s;
}

Series shifted(const Series &s, double dy)
{
    if (dy == 0 || !s.valid)
        return s;
    Series moved = s;
    for (double &y : moved.y)
        y += dy;
    moved.yMin += dy;
    moved.yMax += dy;
    return moved;
}

Series SeriesCache::series(const ChiData &data, const PlotView &view)
{
    Entry &e = entries[&data];
    if (e.generation != data.generation()) {
        e = Entry();
        e.generation = data.generation();
    }
    if (view.space == PlotSpace::K) {
        if (e.kWeight != view.kWeight) {
            e.k = kSeries(data, view.kWeight);
            e.kWeight = view.kWeight;
            ++computedCount;
        }
        return e.k;
    }
    if (e.rWeight != view.kWeight || e.ft != view.ft || e.rPart != view.rPart) {
        e.r = rSeries(data, view.kWeight, view.ft, view.rPart);
        e.rWeight = view.kWeight;
        e.ft = view.ft;
        e.rPart = view.rPart;
        ++computedCount;
    }
    return e.r;
}

bool fitView(
    PlotSpace space, const QVector<Series> &shown, double &x0, double &y0, double &x1, double &y1)
{
    if (shown.isEmpty())
        return false;
    if (space == PlotSpace::R) {
        double top = 0, bottom = 0;
        for (const Series &s : shown)
            for (int m = 0; m < s.x.size() && s.x[m] <= fittedRMax; ++m)
                if (std::isfinite(s.y[m])) {
                    top = std::max(top, s.y[m]);
                    bottom = std::min(bottom, s.y[m]);
                }
        x0 = 0;
        x1 = fittedRMax;
        y0 = bottom < 0 && std::isfinite(1.05 * bottom) ? 1.05 * bottom : 0;
        y1 = top > 0 && std::isfinite(1.05 * top) ? 1.05 * top : 1;
        return true;
    }
    double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    for (const Series &s : shown) {
        xmin = std::min(xmin, s.xMin);
        xmax = std::max(xmax, s.xMax);
        ymin = std::min(ymin, s.yMin);
        ymax = std::max(ymax, s.yMax);
    }
    // Symmetric about zero, so that the zero line sits in the middle.
    double ylo, yhi;
    if (ymax < std::abs(ymin)) {
        ylo = ymin;
        yhi = -ymin;
    } else {
        ylo = -ymax;
        yhi = ymax;
    }
    widenIfEmpty(xmin, xmax);
    widenIfEmpty(ylo, yhi);
    if (!usable(xmin, xmax)) {
        xmin = 0;
        xmax = 20;
    }
    if (!usable(ylo, yhi)) {
        ylo = -1;
        yhi = 1;
    }
    x0 = xmin;
    x1 = xmax;
    y0 = ylo;
    y1 = yhi;
    return true;
}

bool seriesValueAt(const Series &s, double x, double *value)
{
    if (s.x.isEmpty() || !s.ascending)
        return false;
    // A grid point a rounding error beyond an end is that end.
    const double slack = 1e-12 * (std::fabs(x) + 1);
    if (x < s.x.first() - slack || x > s.x.last() + slack)
        return false;
    x = std::min(std::max(x, s.x.first()), s.x.last());
    const int j = int(std::lower_bound(s.x.begin(), s.x.end(), x) - s.x.begin());
    if (s.x[j] == x || j == 0) {
        *value = s.y[j];
        return true;
    }
    const double x0 = s.x[j - 1], x1 = s.x[j];
    *value = s.y[j - 1] + (s.y[j] - s.y[j - 1]) * (x - x0) / (x1 - x0);
    return true;
}
