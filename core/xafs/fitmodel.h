#ifndef FITMODEL_H
#define FITMODEL_H

// What the fit's files share and the library does not show: the measured side made ready,
// the model a fit moves and the checks of a curve.
#include "fit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_vector.h>
#include <memory>
#include <string>
#include <vector>

struct FitTarget::Data
{
    FitOptions options;
    std::string error;
    std::vector<double> gridK; // the k_n where the window is above zero
    int rows = 0; // real and imaginary parts of chi(R) at the R points of the range
    std::vector<double> map; // rows x gridK.size(), row-major: model on grid -> chi(R)
    std::vector<double> target; // the data's chi(R), same rows
    double targetNorm = 0; // sum of squares of target
    // The map and the target projected on the map's leading singular directions: the same
    // least-squares problem in far fewer rows. The reduced map is kept by columns, each
    // padded with zeros to stride rows, so that a model's product runs down whole columns.
    int rank = 0;
    int stride = 0;
    std::vector<double> reducedMap;
    std::vector<double> reducedTarget;
};

namespace fitmodel {

// 2m/hbar^2 in 1/(A^2 eV): k'^2 = k^2 - etok dE0.
constexpr double etok = 0.2625;
// The sigma2 the scan for starting E0 shifts assumes, and the far paths' start above it.
constexpr double scanSigma2 = 0.005;
constexpr double startFar = 0.1;

inline bool allFinite(const std::vector<double> &v)
{
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

inline std::string checkCurve(const std::vector<double> &k, const std::vector<double> &chi)
{
    if (k.size() != chi.size())
        return "k and chi have different lengths";
    if (k.size() < 4)
        return "fewer than 4 points of chi(k)";
    if (!allFinite(k) || !allFinite(chi))
        return "chi(k) holds a value that is not a number";
    for (size_t i = 1; i < k.size(); ++i)
        if (!(k[i] > k[i - 1]))
            return "k does not ascend";
    return {};
}

inline std::string formatNumber(double v)
{
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// A parameter held within [lo, hi] through p = lo + (hi - lo) (1 + sin u) / 2, so that the
// unbounded solver cannot leave the bounds (the transform of MINUIT and lmfit).
struct Bound
{
    double lo, hi;
    double value(double u) const { return lo + (hi - lo) * (1 + std::sin(u)) / 2; }
    double slope(double u) const { return (hi - lo) * std::cos(u) / 2; }
    double inner(double p) const
    {
        const double margin = 1e-3 * (hi - lo);
        p = std::clamp(p, lo + margin, hi - margin);
        return std::asin(2 * (p - lo) / (hi - lo) - 1);
    }
    bool atLow(double p) const { return p - lo < 1e-3 * (hi - lo); }
    bool atHigh(double p) const { return hi - p < 1e-3 * (hi - lo); }
};

class Splines;

// One fit's model on the grid and its partials, with S0^2 solved for (the model is linear in
// it) and held within its bounds: the solver sees dE0, sigma2 and, with shells, the far
// paths' position t between sigma2 and sigma2Max.
class Problem
{
public:
    Problem(const FitTarget::Data &data, const CalcChi &calc, bool withShells);
    ~Problem();

    size_t parameters() const { return shells ? 3 : 2; }

    // The cost ||S0^2 B c - b||^2 at dE0 e and sigma2 ss with the far paths damped alike.
    double scanCost(double e, double ss);
    void start(gsl_vector *u, double e) const;

    static int f(const gsl_vector *u, void *self, gsl_vector *out);
    static int df(const gsl_vector *u, void *self, gsl_matrix *jac);

    // The parameters at u, S0^2 included, after at(u, ...).
    void result(const gsl_vector *u, FitResult *r) const;

    // The model on the grid at the parameters of the last at(u, ...).
    const std::vector<double> &grid() const { return c; }
    double s02Value() const { return scale; }

    void at(const gsl_vector *u, bool partials);

private:
    // c = exp(-2 ss k^2) (first(k') + exp(-2 (sigma2Max - ss) t k^2) rest(k')) on the grid,
    // B c, and with partials the same for the derivatives by dE0, ss and t.
    void model(double e, double ss, double t, bool partials);
    double residual(gsl_vector *out) const;
    // d(S0^2 B c - b)/du: S0^2 B dc plus B c dS0^2 while S0^2 is free, each times dp/du.
    void jacobian(const gsl_vector *u, gsl_matrix *jac) const;

    const FitTarget::Data &d;
    const FitOptions &o;
    const bool shells;
    Bound de0, sigma2, far;
    std::unique_ptr<Splines> splines;
    std::vector<double> c, partial[3];
    std::vector<double> bc, bPartial[3];
    double norm = 0, scale = 1;
    bool clamped = false;
    bool haveLast = false;
    double last[3] = { 0, 0, 0 };
};

} // namespace fitmodel

#endif
