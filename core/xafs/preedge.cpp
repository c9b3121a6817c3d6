#include "background.h"

#include "bkgdetail.h"

#include <gsl/gsl_fit.h>

namespace {

using namespace xafs;
using namespace xafs::bkg;

// Python's round() and numpy's: half to even, as nearbyint in the default rounding mode.
double round5(double value, double step) { return step * std::nearbyint(value / step); }

// A polynomial of the given degree through (x, y) by least squares, in powers of x (as
// numpy's polyfit, lowest power first); fitted in a centred, scaled variable so that
// energies of 10^4 eV square without loss.
bool polyfit(
    const double *x, const double *y, std::size_t n, int degree, std::vector<double> &coefs)
{
    if (n < std::size_t(degree) + 1)
        return false;
    const double lo = *std::min_element(x, x + n), hi = *std::max_element(x, x + n);
    const double centre = (lo + hi) / 2, half = hi > lo ? (hi - lo) / 2 : 1.0;
    GslMatrix design(n, degree + 1);
    GslVector values(n), fitted(degree + 1);
    for (std::size_t i = 0; i < n; ++i) {
        const double u = (x[i] - centre) / half;
        double p = 1;
        for (int j = 0; j <= degree; ++j, p *= u)
            gsl_matrix_set(design.m, i, j, p);
        gsl_vector_set(values.v, i, y[i]);
    }
    if (!leastSquares(design, values, fitted))
        return false;
    // sum a_j ((x - c)/h)^j expanded into powers of x.
    coefs.assign(degree + 1, 0.0);
    for (int j = 0; j <= degree; ++j) {
        const double a = gsl_vector_get(fitted.v, j) / std::pow(half, j);
        double binomial = 1;
        for (int i = 0; i <= j; ++i) {
            coefs[i] += a * binomial * std::pow(-centre, j - i);
            binomial = binomial * (j - i) / (i + 1);
        }
    }
    return true;
}

double polyAt(const std::vector<double> &coefs, double x)
{
    double value = 0;
    for (std::size_t i = coefs.size(); i-- > 0;)
        value = value * x + coefs[i];
    return value;
}

} // namespace

namespace xafs {

double PreEdge::postLine(double e) const { return preLine(e) + polyAt(normCoefs, e); }

Outcome<double> findE0(const std::vector<double> &energy, const std::vector<double> &mu)
{
    const std::size_t n = std::min(energy.size(), mu.size());
    if (n < 10)
        return failure("too few points (" + std::to_string(n) + ") for an edge");
    std::vector<double> dmu(n);
    for (std::size_t i = 0; i < n; ++i) {
        double dm, de;
        if (i == 0) {
            dm = mu[1] - mu[0];
            de = energy[1] - energy[0];
        } else if (i == n - 1) {
            dm = mu[n - 1] - mu[n - 2];
            de = energy[n - 1] - energy[n - 2];
        } else {
            dm = (mu[i + 1] - mu[i - 1]) / 2.0;
            de = (energy[i + 1] - energy[i - 1]) / 2.0;
        }
        dmu[i] = dm / de;
        if (!std::isfinite(dmu[i]))
            dmu[i] = -1.0;
    }
    const std::size_t nmin = std::max<std::size_t>(3, std::size_t(double(n) * 0.05));
    const double maxdmu = *std::max_element(dmu.begin() + nmin, dmu.end() - nmin);
    auto high = [&](std::size_t i) { return i < n && dmu[i] > maxdmu * 0.1; };
    std::size_t best = 0;
    double bestDmu = 0;
    for (std::size_t i = nmin; i + nmin <= n; ++i)
        if (high(i) && dmu[i] > bestDmu && high(i + 1) && high(i - 1)) {
            best = i;
            bestDmu = dmu[i];
        }
    if (bestDmu <= 0)
        return failure("no edge found (mu(E) nowhere rises steeply)");
    return energy[best];
}

Outcome<PreEdge> preEdge(
    const std::vector<double> &energy, const std::vector<double> &mu, const BkgParams &params)
{
    quietGsl();
    const std::size_t n = std::min(energy.size(), mu.size());
    if (n < 10)
        return failure("too few points (" + std::to_string(n) + ")");
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(energy[i]) || !std::isfinite(mu[i]))
            return failure("point " + std::to_string(i + 1) + " is not a pair of finite numbers");
    for (std::size_t i = 1; i < n; ++i)
        if (!(energy[i] > energy[i - 1]))
            return failure("energies not increasing at point " + std::to_string(i + 1) + " ("
                + eV(energy[i - 1]) + ", then " + eV(energy[i]) + ")");
    double e0 = params.e0;
    if (std::isnan(e0)) {
        const auto found = findE0(energy, mu);
        if (!found)
            return found.error();
        e0 = found.value();
    } else if (!(e0 >= energy[1] && e0 <= energy[n - 2])) {
        return failure("E0 = " + eV(e0) + " is outside the data (" + eV(energy[1]) + " to "
            + eV(energy[n - 2]) + ")");
    }
    PreEdge edge;
    edge.ie0 = indexNearest(energy, e0);
    edge.e0 = e0 = energy[edge.ie0];
    const double first = energy.front() - e0, last = energy[n - 1] - e0;

    double pre1 = params.pre1;
    if (std::isnan(pre1))
        pre1 = edge.ie0 > 20 ? round5(energy[1] - e0, 5.0) : round5(energy[1] - e0, 2.0);
    pre1 = std::max(pre1, first);
    double pre2 = std::isnan(params.pre2) ? round5(pre1 / 3.0, 5.0) : params.pre2;
    if (pre1 > pre2)
        std::swap(pre1, pre2);
    double norm2 = std::isnan(params.norm2) ? round5(last, 5.0) : params.norm2;
    if (norm2 < 0)
        norm2 = last - norm2;
    norm2 = std::min(norm2, last);
    double norm1
        = std::isnan(params.norm1) ? std::min(150.0, round5(norm2 / 3.0, 5.0)) : params.norm1;
    if (norm1 > norm2)
        std::swap(norm1, norm2);
    int nnorm = params.nnorm;
    if (nnorm < 0) {
        nnorm = 2;
        if (norm2 - norm1 < 350)
            nnorm = 1;
        if (norm2 - norm1 < 50)
            nnorm = 0;
    }
    nnorm = std::clamp(nnorm, 0, 5);
    edge.pre1 = pre1;
    edge.pre2 = pre2;
    edge.norm1 = norm1;
    edge.norm2 = norm2;
    edge.nnorm = nnorm;

    auto range = [&](double from, double to) {
        const std::size_t p1 = indexOf(energy, from + e0);
        std::size_t p2 = indexNearest(energy, to + e0);
        if (p2 < p1 + 2)
            p2 = std::min(n, p1 + 2);
        return std::make_pair(p1, p2);
    };
    const auto [a1, a2] = range(pre1, pre2);
    if (a2 < a1 + 2)
        return failure("the pre-edge range holds fewer than 2 points");
    double c0 = 0, c1 = 0, cov00, cov01, cov11, sumsq;
    if (gsl_fit_linear(
            &energy[a1], 1, &mu[a1], 1, a2 - a1, &c0, &c1, &cov00, &cov01, &cov11, &sumsq)
            != GSL_SUCCESS
        || !std::isfinite(c0) || !std::isfinite(c1))
        return failure("the pre-edge line cannot be fitted");
    edge.preSlope = c1;
    edge.preOffset = c0;

    const auto [b1, b2] = range(norm1, norm2);
    std::vector<double> presub(b2 - b1);
    for (std::size_t i = b1; i < b2; ++i)
        presub[i - b1] = mu[i] - edge.preLine(energy[i]);
    if (!polyfit(&energy[b1], presub.data(), b2 - b1, nnorm, edge.normCoefs))
        return failure("the normalisation range holds " + std::to_string(b2 - b1)
            + " points, too few for a polynomial of degree " + std::to_string(nnorm));
    edge.edgeStep = std::abs(polyAt(edge.normCoefs, energy[edge.ie0]));
    if (!(edge.edgeStep > 0) || !std::isfinite(edge.edgeStep))
        return failure("the edge step is zero");
    return edge;
}

} // namespace xafs
