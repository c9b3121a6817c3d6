#ifndef PLOTVIEW_H
#define PLOTVIEW_H

#include "fourier.h"

#include <QString>

class ParamStore;

// k^w chi(k) against k, or its transform against R.
enum class PlotSpace { K, R };
// Which part of the complex chi(R) an R view shows.
enum class RPart { Magnitude, Real, Imaginary };

// What the plot shows: the space, the k-weight (0 to 3), the transform's window, the part
// of chi(R), and the offset that stacks the shown curves (the n-th, from 0, n * offset
// above the data).
struct PlotView
{
    PlotSpace space = PlotSpace::K;
    int kWeight = 0;
    FtParams ft;
    RPart rPart = RPart::Magnitude;
    double offset = 0;

    bool operator==(const PlotView &o) const
    {
        return space == o.space && kWeight == o.kWeight && ft == o.ft && rPart == o.rPart
            && offset == o.offset;
    }
    bool operator!=(const PlotView &o) const { return !(*this == o); }
};

constexpr int maxKWeight = 3;
// The R axis that a fitted R view shows, in A.
constexpr double fittedRMax = 6;

// Whether the window could be applied: 0 <= kmin < kmax and 0 <= dk, all finite.
bool usableFt(const FtParams &ft);

// The view the options -kweight W, -space k|r and -ft kmin,kmax,dk,hanning|kaiser ask for,
// starting from the defaults. False, with the reason in *error, for a value that is not
// one of those.
bool viewFromOptions(const ParamStore &options, PlotView *view, QString *error);

// Axis titles of the view: "k (A^-1)" and "k^2*chi(k) (A^-2)", or "R (A)" and
// "|chi(R)| (A^-3)", with the weight's power.
QString xTitle(const PlotView &view);
QString yTitle(const PlotView &view);
// One line that names the view: the weighted chi, the space and part, the transform's
// window and, when set, the offset.
QString viewCaption(const PlotView &view);

#endif
