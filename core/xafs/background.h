#ifndef XAFS_BACKGROUND_H
#define XAFS_BACKGROUND_H

// From a measured mu(E) to chi(k): E0, the pre-edge line, the post-edge normalisation, the
// edge step and the AUTOBK spline (Newville et al., Phys. Rev. B 47, 14126 (1993)), made
// to give what Larch 0.9.58's pre_edge() and autobk() give with the same settings:
//
// E0 (Larch's find_e0): the energy of the largest dmu/dE, the derivative taken as numpy's
//   gradient(mu)/gradient(E) (central differences, one-sided at the ends), among points at
//   least max(3, 5% of the points) from either end whose derivative and both neighbours'
//   exceed a tenth of the largest derivative. No smoothing.
// Pre-edge line: a straight line through mu over [E0+pre1, E0+pre2), the first index at or
//   below E0+pre1 to the index nearest E0+pre2 (at least 2 points), where pre-edge's E0 is
//   the data point nearest E0. pre1 = the second point's E-E0 rounded to 5 eV (2 eV with
//   20 points or fewer below E0), at least the first point's; pre2 = pre1/3 rounded to 5 eV.
// Normalisation: a polynomial of degree nnorm through mu - line over [E0+norm1, E0+norm2)
//   chosen the same way; norm2 = the last point's E-E0 rounded to 5 eV (no further),
//   norm1 = min(150, norm2/3 rounded to 5 eV); nnorm = 2, or 1 if norm2 - norm1 < 350 eV,
//   or 0 if < 50 eV. Edge step = |polynomial at E0|. Roundings are half to even.
// AUTOBK: k = sign(E-E0) sqrt(0.2624682917 |E-E0|) from the last point at or below E0,
//   kmax = the data's last k unless given; chi is found on k_n = 0.05 n, n < int(1.01 +
//   kmax/0.05). Knots: nspl = 1 + int(2 Rbkg (kmax-kmin)/pi), kept within 5..128, at the
//   data's k nearest kmin + i (kmax-kmin)/(nspl-1); the spline is a cubic B-spline with
//   those nspl points as its interpolation knots (clamped ends, interior knots at the third
//   to the third-last: scipy's splrep), evaluated beyond its ends by its end polynomials.
//   The fitted points run to one past E0 + kmax^2/0.2624682917. chi on the grid is the
//   not-a-knot cubic interpolant of mu - spline at the data's k (scipy's UnivariateSpline
//   with s=0). The coefficients minimise the real and imaginary parts of the first irbkg =
//   int(1 + (nspl-1) pi / (2 dR (kmax-kmin))) values of the transform of k^w chi W(k)
//   (dR = pi/(0.05*2048); R up to about Rbkg), W Larch's Hanning window over kmin..kmax
//   with dk = 0.1 and its edges snapped to the grid, together with the clamps: the first
//   and last nclamp = 3 values of chi weighted by clamp_lo = 0 and clamp_hi = 1 times
//   (1 + 100 mean of the squared transform values). chi is linear in the coefficients, so
//   the fit is a linear least-squares problem (GSL, SVD) whose clamp weight is iterated to
//   the stationary point of Larch's sum of squares. Rbkg below 2 dR is raised to it. chi
//   is divided by the edge step.
// A given E0 is used as Larch's pre_edge(e0=E0) and autobk(e0=E0) use it: snapped to the
// nearest point for the edge step, as given for the spline's k. Where this departs from
// Larch: a given E0 outside the data is an error (Larch would find one instead).
//
// GSL's error handler is switched off for the process at the first call (GSL would abort
// on an error); every GSL status is checked here.

#include "measured.h"
#include "outcome.h"

#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace xafs {

// 2m/hbar^2 in 1/(eV A^2): k^2 = etok * (E - E0).
constexpr double etok = 1.0 / 3.8099819442818976;

struct BkgParams
{
    static constexpr double unset = std::numeric_limits<double>::quiet_NaN();

    double rbkg = 1.0; // A
    int kweight = 2;
    double kmin = 0; // 1/A
    double kmax = unset; // unset: the data's end
    double e0 = unset; // eV; unset: found
    double dk = 0.1; // the window's taper in the spline's fit
    int nknots = 0; // 0: from Rbkg and the k range
    int nclamp = 3;
    double clampLo = 0;
    double clampHi = 1;
    double pre1 = unset, pre2 = unset; // eV relative to E0; unset: Larch's defaults
    double norm1 = unset, norm2 = unset;
    int nnorm = -1; // -1: from the normalisation range
};

// The -bkg option "rbkg,kweight" (either may be empty to keep base's value).
Outcome<BkgParams> parseBkgOption(std::string_view text, const BkgParams &base = BkgParams());
// The -e0 option: an energy in eV.
Outcome<double> parseE0Option(std::string_view text);

struct PreEdge
{
    double e0 = 0; // the data point nearest E0
    std::size_t ie0 = 0;
    double pre1 = 0, pre2 = 0, norm1 = 0, norm2 = 0;
    int nnorm = 0;
    double preSlope = 0, preOffset = 0; // pre-edge line: preSlope * E + preOffset
    std::vector<double> normCoefs; // post-edge - pre-edge line: sum normCoefs[i] * E^i
    double edgeStep = 0;

    double preLine(double e) const { return preSlope * e + preOffset; }
    double postLine(double e) const;
};

// E0 of mu(E) as Larch's find_e0; energies strictly increasing.
Outcome<double> findE0(const std::vector<double> &energy, const std::vector<double> &mu);
// The pre-edge line, normalisation and edge step; E0 from params or found.
Outcome<PreEdge> preEdge(const std::vector<double> &energy, const std::vector<double> &mu,
    const BkgParams &params = BkgParams());

struct Background
{
    PreEdge edge;
    double e0 = 0; // of the spline's k (found: edge.e0)
    bool e0Found = true;
    double edgeStep = 0;
    double rbkg = 0, kmin = 0, kmax = 0;
    int kweight = 2;
    int nknots = 0;
    int irbkg = 0; // transform values fitted below Rbkg
    std::vector<double> knotK; // k of the nknots points the spline interpolates
    std::vector<double> coefficients; // of its B-splines
    std::vector<double> bkg; // mu0(E) at the input energies (mu itself outside the fit)
    std::vector<double> k; // k_n = 0.05 n
    std::vector<double> chi; // chi(k_n)
};

// E0, normalisation and the AUTOBK spline of mu(E); energies strictly increasing. Errors
// (reason only, no file): too few points, energies not increasing, no edge, less than
// 3 1/A of data above E0, a k range or knots the data cannot carry. Safe to call from
// several threads at once.
Outcome<Background> removeBackground(const std::vector<double> &energy,
    const std::vector<double> &mu, const BkgParams &params = BkgParams());

// chi(k) of a measured spectrum on the 0.05 1/A grid: the background removed from mu(E), or
// a chi(k) file's values interpolated linearly onto the grid points inside its range.
struct MeasuredChi
{
    std::string file;
    Spectrum::Kind kind = Spectrum::Kind::Mu;
    std::string columns;
    Background background; // of mu(E) only
    std::vector<double> k;
    std::vector<double> chi;
};

Outcome<MeasuredChi> deriveChi(
    const Spectrum &spectrum, const std::string &name, const BkgParams &params);

// The text of a derived chi(k) file: '#' lines with the file, E0, the edge step, Rbkg,
// the k-weight and the knots, then "k chi" on the 0.05 1/A grid.
std::string chiFileText(const MeasuredChi &measured);

} // namespace xafs

#endif
