#include "background.h"

#include "textscan.h"
#include "xafsft.h"

#include <gsl/gsl_bspline.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_fit.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_multifit.h>

#include <algorithm>
#include <charconv>
#include <complex>
#include <memory>
#include <mutex>

namespace {

using namespace xafs;

constexpr double pi = 3.14159265358979323846;
constexpr double kstep = fourier::gridStep;
constexpr int nfft = fourier::gridSize;

void quietGsl()
{
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

Error failure(std::string reason) { return Error { std::string(), 0, std::move(reason) }; }

// Larch's index_of: the last index at or below value, 0 below the first.
std::size_t indexOf(const std::vector<double> &a, double value)
{
    const auto it = std::upper_bound(a.begin(), a.end(), value);
    return it == a.begin() ? 0 : std::size_t(it - a.begin() - 1);
}

// Larch's index_nearest on an increasing array: the first index of the least |a - value|.
std::size_t indexNearest(const std::vector<double> &a, double value)
{
    const std::size_t i = std::size_t(std::lower_bound(a.begin(), a.end(), value) - a.begin());
    if (i == 0)
        return 0;
    if (i == a.size())
        return a.size() - 1;
    return std::abs(a[i - 1] - value) <= std::abs(a[i] - value) ? i - 1 : i;
}

// Python's round() and numpy's: half to even, as nearbyint in the default rounding mode.
double round5(double value, double step) { return step * std::nearbyint(value / step); }

struct GslVector
{
    explicit GslVector(std::size_t n)
        : v(gsl_vector_calloc(n))
    {
    }
    ~GslVector() { gsl_vector_free(v); }
    GslVector(const GslVector &) = delete;
    GslVector &operator=(const GslVector &) = delete;
    gsl_vector *v;
};

struct GslMatrix
{
    GslMatrix(std::size_t rows, std::size_t columns)
        : m(gsl_matrix_calloc(rows, columns))
    {
    }
    ~GslMatrix() { gsl_matrix_free(m); }
    GslMatrix(const GslMatrix &) = delete;
    GslMatrix &operator=(const GslMatrix &) = delete;
    gsl_matrix *m;
};

// Least squares of X c = y by GSL's SVD; false if GSL fails.
bool leastSquares(const GslMatrix &x, const GslVector &y, GslVector &c)
{
    std::unique_ptr<gsl_multifit_linear_workspace, decltype(&gsl_multifit_linear_free)> work(
        gsl_multifit_linear_alloc(x.m->size1, x.m->size2), gsl_multifit_linear_free);
    GslMatrix cov(x.m->size2, x.m->size2);
    double chisq = 0;
    return work && gsl_multifit_linear(x.m, y.v, c.v, cov.m, &chisq, work.get()) == GSL_SUCCESS;
}

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

// The not-a-knot cubic spline through (x, y), x strictly increasing, at least 4 points:
// the interpolant scipy's UnivariateSpline(x, y, s=0) makes, extended beyond the ends by
// its end pieces.
class NotAKnot
{
public:
    explicit NotAKnot(const std::vector<double> &x)
        : m_x(x)
        , m_n(x.size())
        , m_h(x.size() - 1)
    {
        for (std::size_t i = 0; i + 1 < m_n; ++i)
            m_h[i] = x[i + 1] - x[i];
        // Unknowns: the second derivatives M_1..M_{n-2}; M_0 and M_{n-1} follow from the
        // third derivative being continuous at x_1 and x_{n-2}.
        const std::size_t u = m_n - 2;
        m_diag.assign(u, 0.0);
        m_upper.assign(u > 0 ? u - 1 : 0, 0.0);
        m_lower.assign(u > 0 ? u - 1 : 0, 0.0);
        for (std::size_t r = 0; r < u; ++r) {
            const std::size_t i = r + 1;
            m_diag[r] = 2 * (m_h[i - 1] + m_h[i]);
            if (r + 1 < u)
                m_upper[r] = m_h[i];
            if (r > 0)
                m_lower[r - 1] = m_h[i - 1];
        }
        const double h0 = m_h[0], h1 = m_h[1];
        m_diag[0] += h0 * (h0 + h1) / h1;
        if (u > 1)
            m_upper[0] -= h0 * h0 / h1;
        const double a = m_h[m_n - 3], b = m_h[m_n - 2];
        m_diag[u - 1] += b * (a + b) / a;
        if (u > 1)
            m_lower[u - 2] -= b * b / a;
    }

    // The spline of y at the increasing points xout.
    bool evaluate(const double *y, const std::vector<double> &xout, double *out) const
    {
        const std::size_t u = m_n - 2;
        std::vector<double> delta(m_n - 1);
        for (std::size_t i = 0; i + 1 < m_n; ++i)
            delta[i] = (y[i + 1] - y[i]) / m_h[i];
        std::vector<double> m(m_n);
        if (u == 1) {
            m[1] = 6 * (delta[1] - delta[0]) / m_diag[0];
        } else {
            gsl_vector_const_view diag = gsl_vector_const_view_array(m_diag.data(), u);
            gsl_vector_const_view upper = gsl_vector_const_view_array(m_upper.data(), u - 1);
            gsl_vector_const_view lower = gsl_vector_const_view_array(m_lower.data(), u - 1);
            GslVector rhs(u), solution(u);
            for (std::size_t r = 0; r < u; ++r)
                gsl_vector_set(rhs.v, r, 6 * (delta[r + 1] - delta[r]));
            if (gsl_linalg_solve_tridiag(
                    &diag.vector, &upper.vector, &lower.vector, rhs.v, solution.v)
                != GSL_SUCCESS)
                return false;
            for (std::size_t r = 0; r < u; ++r)
                m[r + 1] = gsl_vector_get(solution.v, r);
        }
        const double h0 = m_h[0], h1 = m_h[1];
        m[0] = ((h0 + h1) * m[1] - h0 * m[2]) / h1;
        const double a = m_h[m_n - 3], b = m_h[m_n - 2];
        m[m_n - 1] = ((a + b) * m[m_n - 2] - b * m[m_n - 3]) / a;

        std::size_t j = 0;
        for (std::size_t q = 0; q < xout.size(); ++q) {
            const double t = xout[q];
            while (j + 2 < m_n && t >= m_x[j + 1])
                ++j;
            const double h = m_h[j];
            const double left = m_x[j + 1] - t, right = t - m_x[j];
            out[q] = (m[j] * left * left * left + m[j + 1] * right * right * right) / (6 * h)
                + (y[j] / h - m[j] * h / 6) * left + (y[j + 1] / h - m[j + 1] * h / 6) * right;
        }
        return true;
    }

private:
    const std::vector<double> &m_x;
    std::size_t m_n;
    std::vector<double> m_h;
    std::vector<double> m_diag, m_upper, m_lower;
};

// Larch's ftwindow(x, xmin, xmax, dx, dx2=dx, 'hanning') on the grid x_i = 0.05 i, i < n:
// the taper's ends snapped to grid points.
std::vector<double> larchHanning(const std::vector<double> &x, double xmin, double xmax, double dx)
{
    const std::size_t n = x.size();
    std::vector<double> w(n, 0.0);
    if (n < 2)
        return w;
    const double xstep = (x[n - 1] - x[0]) / double(n - 1);
    const double xeps = 1e-4 * xstep;
    double x1 = std::max(x[0], xmin - dx / 2);
    double x2 = xmin + dx / 2 + xeps;
    double x3 = xmax - dx / 2 - xeps;
    double x4 = std::min(x[n - 1], xmax + dx / 2);
    auto asint = [&](double v) { return long(std::trunc((v + xeps) / xstep)); };
    long i1 = asint(x1), i2 = asint(x2), i3 = asint(x3), i4 = asint(x4);
    const long last = long(n) - 1;
    i1 = std::max(0L, i1);
    i2 = std::max(0L, i2);
    i3 = std::min(last, i3);
    i4 = std::min(last, i4);
    if (i2 == i1)
        i1 = std::max(0L, i2 - 1);
    if (i4 == i3)
        i3 = std::max(i2, i4 - 1);
    // Out-of-range indices wrap in numpy's slices; the k ranges allowed here keep them in.
    i1 = std::clamp(i1, 0L, last);
    i2 = std::clamp(i2, 0L, last);
    i3 = std::clamp(i3, 0L, last);
    i4 = std::clamp(i4, 0L, last);
    x1 = x[i1];
    x2 = x[i2];
    x3 = x[i3];
    x4 = x[i4];
    if (x1 == x2)
        x2 += xeps;
    if (x3 == x4)
        x4 += xeps;
    for (long i = i2; i < i3; ++i)
        w[i] = 1;
    for (long i = i1; i <= i2; ++i) {
        const double s = std::sin(pi / 2 * (x[i] - x1) / (x2 - x1));
        w[i] = s * s;
    }
    for (long i = i3; i <= i4; ++i) {
        const double c = std::cos(pi / 2 * (x[i] - x3) / (x4 - x3));
        w[i] = c * c;
    }
    return w;
}

// The cubic B-splines of the clamped knots through `points` (scipy's splrep knots), at x;
// beyond the ends, the end polynomials (Taylor series from the end knot, exact for a cubic).
class Basis
{
public:
    static constexpr int order = 4;

    explicit Basis(const std::vector<double> &points)
        : m_work(gsl_bspline_alloc(order, points.size() - 2), gsl_bspline_free)
        , m_values(order)
        , m_derivs(order, order)
    {
        GslVector breaks(points.size() - 2);
        gsl_vector_set(breaks.v, 0, points.front());
        for (std::size_t i = 2; i + 2 < points.size(); ++i)
            gsl_vector_set(breaks.v, i - 1, points[i]);
        gsl_vector_set(breaks.v, points.size() - 3, points.back());
        m_ok = m_work && gsl_bspline_knots(breaks.v, m_work.get()) == GSL_SUCCESS;
        m_lo = points.front();
        m_hi = points.back();
    }

    bool ok() const { return m_ok; }

    // The four B-splines not zero at x: B_first .. B_first+3 into out[0..4).
    bool evaluate(double x, double *out, std::size_t &first)
    {
        std::size_t last = 0;
        if (x >= m_lo && x <= m_hi) {
            if (gsl_bspline_eval_nonzero(x, m_values.v, &first, &last, m_work.get()) != GSL_SUCCESS)
                return false;
            for (int i = 0; i < order; ++i)
                out[i] = gsl_vector_get(m_values.v, i);
            return true;
        }
        const double end = x < m_lo ? m_lo : m_hi;
        if (gsl_bspline_deriv_eval_nonzero(end, order - 1, m_derivs.m, &first, &last, m_work.get())
            != GSL_SUCCESS)
            return false;
        const double d = x - end;
        for (int i = 0; i < order; ++i) {
            const gsl_matrix *m = m_derivs.m;
            out[i] = gsl_matrix_get(m, i, 0)
                + d
                    * (gsl_matrix_get(m, i, 1)
                        + d / 2 * (gsl_matrix_get(m, i, 2) + d / 3 * gsl_matrix_get(m, i, 3)));
        }
        return true;
    }

private:
    std::unique_ptr<gsl_bspline_workspace, decltype(&gsl_bspline_free)> m_work;
    GslVector m_values;
    GslMatrix m_derivs;
    double m_lo = 0, m_hi = 0;
    bool m_ok = false;
};

std::string eV(double value) { return scan::number(value, 8) + " eV"; }

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

Outcome<Background> removeBackground(
    const std::vector<double> &energy, const std::vector<double> &mu, const BkgParams &params)
{
    quietGsl();
    if (!(params.rbkg > 0 && params.rbkg <= 10) || params.kweight < 0 || params.kweight > 10
        || !(params.kmin >= 0 && params.kmin < 100) || !(params.dk >= 0 && params.dk < 100)
        || params.nknots < 0 || params.nclamp < 0 || !std::isfinite(params.clampLo)
        || !std::isfinite(params.clampHi))
        return failure("background settings out of range (Rbkg " + scan::number(params.rbkg)
            + " A, k-weight " + std::to_string(params.kweight) + ", kmin "
            + scan::number(params.kmin) + ", dk " + scan::number(params.dk) + ")");
    const auto edge = preEdge(energy, mu, params);
    if (!edge)
        return edge.error();
    Background out;
    out.edge = edge.value();
    out.edgeStep = out.edge.edgeStep;
    out.e0Found = std::isnan(params.e0);
    const double e0 = out.e0Found ? out.edge.e0 : params.e0;
    out.e0 = e0;
    out.kweight = params.kweight;
    const std::size_t n = std::min(energy.size(), mu.size());

    const std::size_t ie0 = indexOf(energy, e0);
    const double rgrid = pi / (kstep * nfft);
    const double rbkg = std::max(params.rbkg, 2 * rgrid);
    std::vector<double> kraw(n - ie0);
    for (std::size_t i = ie0; i < n; ++i) {
        const double d = energy[i] - e0;
        kraw[i - ie0] = (d > 0 ? 1.0 : d < 0 ? -1.0 : 0.0) * std::sqrt(etok * std::abs(d));
    }
    const double kdata = kraw.back();
    if (kdata < 3)
        return failure("only " + scan::number(std::max(0.0, kdata), 3)
            + " 1/A of data above E0 = " + eV(e0) + " (at least 3 needed)");
    const double kmax
        = std::isnan(params.kmax) ? kdata : std::max(0.0, std::min(kdata, params.kmax));
    const double kmin = params.kmin;
    if (!(kmin >= 0) || !(kmax - kmin >= 1))
        return failure("the spline's k range " + scan::number(kmin) + " to " + scan::number(kmax)
            + " 1/A is shorter than 1 1/A");
    // The transform's grid ends at 0.05 * 2047; energies that reach beyond are not in eV.
    if (kmax > kstep * (nfft - 2))
        return failure("k reaches " + scan::number(kmax, 4) + " 1/A, beyond the transform's "
            + scan::number(kstep * (nfft - 2), 4) + " 1/A: are the energies in eV?");
    const std::size_t nk = std::size_t(1.01 + kmax / kstep);
    std::vector<double> kout(nk);
    for (std::size_t i = 0; i < nk; ++i)
        kout[i] = kstep * double(i);
    const std::size_t iemax = std::min(n, 2 + indexOf(energy, e0 + kmax * kmax / etok)) - 1;

    std::vector<double> ftwin = larchHanning(kout, kmin, kmax, params.dk);
    for (std::size_t i = 0; i < nk; ++i)
        for (int w = 0; w < params.kweight; ++w)
            ftwin[i] *= kout[i];

    int nspl = 1 + int(2 * rbkg * (kmax - kmin) / pi);
    const int irbkg = std::min(nfft / 2, int(1 + (nspl - 1) * pi / (2 * rgrid * (kmax - kmin))));
    if (params.nknots > 0)
        nspl = params.nknots;
    nspl = std::clamp(nspl, 5, 128);
    std::vector<double> knotK(nspl);
    for (int i = 0; i < nspl; ++i) {
        const double q = kmin + i * (kmax - kmin) / (nspl - 1);
        knotK[i] = kraw[indexNearest(kraw, q)];
        if (i > 0 && !(knotK[i] > knotK[i - 1]))
            return failure("too few points above E0 for " + std::to_string(nspl) + " spline knots");
    }

    // The fitted points: from the last point at or below E0 to one past kmax.
    std::vector<double> kfit(kraw.begin(), kraw.begin() + (iemax - ie0 + 1));
    const std::size_t m = kfit.size();
    if (m < std::size_t(nspl) + 2 || m < 5)
        return failure("too few points above E0 (" + std::to_string(m) + ") for "
            + std::to_string(nspl) + " spline knots");
    const double *mufit = &mu[ie0];

    Basis basis(knotK);
    if (!basis.ok())
        return failure("the spline's knots cannot be placed");
    // At fitted point i the B-splines first[i] .. first[i]+3 are not zero: values[4i ..].
    std::vector<double> values(m * Basis::order);
    std::vector<std::size_t> first(m);
    for (std::size_t i = 0; i < m; ++i)
        if (!basis.evaluate(kfit[i], &values[i * Basis::order], first[i]))
            return failure("the spline cannot be evaluated");

    // chi(c) = g0 - sum_j c_j G_j on kout, with g0 the interpolant of mu and G_j that of
    // B-spline j; the transform and the clamps are linear maps of it.
    const NotAKnot interpolant(kfit);
    const int columns = nspl + 1;
    std::vector<double> grids(std::size_t(columns) * nk);
    std::vector<double> column(m);
    for (int j = 0; j < columns; ++j) {
        for (std::size_t i = 0; i < m; ++i) {
            const long at = long(j - 1) - long(first[i]);
            column[i] = j == 0                 ? mufit[i]
                : at >= 0 && at < Basis::order ? values[i * Basis::order + at]
                                               : 0.0;
        }
        if (!interpolant.evaluate(column.data(), kout, &grids[std::size_t(j) * nk]))
            return failure("the interpolation onto the k grid failed");
    }
    const int nout = 2 * irbkg;
    const int nclamp = std::clamp(params.nclamp, 0, int(nk / 2));
    const int nrows = nout + 2 * nclamp;
    std::vector<double> rows(std::size_t(nrows) * columns); // rows[r * columns + j]
    std::vector<double> weighted(nk);
    std::vector<std::complex<double>> transform(irbkg);
    for (int j = 0; j < columns; ++j) {
        const double *g = &grids[std::size_t(j) * nk];
        for (std::size_t i = 0; i < nk; ++i)
            weighted[i] = g[i] * ftwin[i];
        transformGrid(weighted.data(), int(nk), irbkg, transform.data());
        for (int r = 0; r < irbkg; ++r) {
            rows[std::size_t(2 * r) * columns + j] = transform[r].real();
            rows[std::size_t(2 * r + 1) * columns + j] = transform[r].imag();
        }
        for (int c = 0; c < nclamp; ++c) {
            rows[std::size_t(nout + c) * columns + j] = std::abs(params.clampLo) * g[c];
            rows[std::size_t(nout + nclamp + c) * columns + j]
                = std::abs(params.clampHi) * g[nk - nclamp + c];
        }
    }

    // Larch minimises |o|^2 + s^2 |h|^2 with o the transform, h the weighted clamps and
    // s = 1 + 100 mean(o^2). At its minimum the gradient vanishes as that of the linear
    // problem |o|^2 + lambda |h|^2 with lambda = s^2 / (1 + 200 s |h|^2 / nout): solve
    // that and update lambda until it settles (two or three rounds).
    GslMatrix design(nrows, nspl);
    GslVector target(nrows), coefs(nspl);
    double lambda = 1;
    for (int round = 0; round < 50; ++round) {
        const double root = std::sqrt(lambda);
        for (int r = 0; r < nrows; ++r) {
            const double w = r < nout ? 1.0 : root;
            gsl_vector_set(target.v, r, w * rows[std::size_t(r) * columns]);
            for (int j = 0; j < nspl; ++j)
                gsl_matrix_set(design.m, r, j, w * rows[std::size_t(r) * columns + j + 1]);
        }
        if (!leastSquares(design, target, coefs))
            return failure("the spline's least-squares fit failed");
        double oo = 0, hh = 0;
        for (int r = 0; r < nrows; ++r) {
            double value = rows[std::size_t(r) * columns];
            for (int j = 0; j < nspl; ++j)
                value -= gsl_vector_get(coefs.v, j) * rows[std::size_t(r) * columns + j + 1];
            (r < nout ? oo : hh) += value * value;
        }
        if (nclamp == 0)
            break;
        const double s = 1 + 100 * oo / nout;
        const double next = s * s / (1 + 200 * s * hh / nout);
        const bool settled = std::abs(next - lambda) <= 1e-13 * lambda;
        lambda = next;
        if (settled)
            break;
    }

    out.rbkg = rbkg;
    out.kmin = kmin;
    out.kmax = kmax;
    out.nknots = nspl;
    out.irbkg = irbkg;
    out.knotK = knotK;
    out.coefficients.resize(nspl);
    for (int j = 0; j < nspl; ++j)
        out.coefficients[j] = gsl_vector_get(coefs.v, j);
    out.k = kout;
    out.chi.resize(nk);
    for (std::size_t i = 0; i < nk; ++i) {
        double value = grids[i];
        for (int j = 0; j < nspl; ++j)
            value -= out.coefficients[j] * grids[std::size_t(j + 1) * nk + i];
        out.chi[i] = value / out.edgeStep;
        if (!std::isfinite(out.chi[i]))
            return failure("the background fit gives no finite chi(k)");
    }
    out.bkg.assign(mu.begin(), mu.begin() + n);
    for (std::size_t i = 0; i < m; ++i) {
        double value = 0;
        for (int b = 0; b < Basis::order; ++b)
            value += out.coefficients[first[i] + b] * values[i * Basis::order + b];
        out.bkg[ie0 + i] = value;
    }
    return out;
}

Outcome<BkgParams> parseBkgOption(std::string_view text, const BkgParams &base)
{
    auto bad = [&](const std::string &why) {
        return Error { std::string(), 0,
            "background " + scan::quoted(text) + ": " + why
                + " (expected RBKG,KWEIGHT, for example 1.0,2)" };
    };
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos)
        return bad("two values separated by a comma");
    BkgParams params = base;
    const std::string_view rbkg = scan::trim(text.substr(0, comma));
    const std::string_view kweight = scan::trim(text.substr(comma + 1));
    if (!rbkg.empty()) {
        double value = 0;
        if (!scan::parseNumber(rbkg, value) || !(value > 0 && value <= 10))
            return bad("Rbkg must be a distance above 0 and at most 10 A");
        params.rbkg = value;
    }
    if (!kweight.empty()) {
        double value = 0;
        if (!scan::parseNumber(kweight, value) || value != std::floor(value) || value < 0
            || value > 5)
            return bad("the k-weight must be a whole number from 0 to 5");
        params.kweight = int(value);
    }
    return params;
}

Outcome<double> parseE0Option(std::string_view text)
{
    double value = 0;
    if (!scan::parseNumber(scan::trim(text), value) || !std::isfinite(value) || value <= 0)
        return Error { std::string(), 0, "E0 " + scan::quoted(text) + ": not an energy in eV" };
    return value;
}

Outcome<MeasuredChi> deriveChi(
    const Spectrum &spectrum, const std::string &name, const BkgParams &params)
{
    MeasuredChi measured;
    measured.file = name;
    measured.kind = spectrum.kind;
    measured.columns = spectrum.columns;
    if (spectrum.kind == Spectrum::Kind::Chi) {
        const std::size_t n = std::min(spectrum.x.size(), spectrum.y.size());
        if (n < 2)
            return Error { name, 0, "too few points (" + std::to_string(n) + ") of chi(k)" };
        const std::vector<double> grid = uniformGrid(spectrum.x.data(), spectrum.y.data(), int(n));
        for (int i = 0; i < fourier::gridSize; ++i) {
            const double k = i * kstep;
            if (k >= spectrum.x.front() && k <= spectrum.x[n - 1]) {
                measured.k.push_back(k);
                measured.chi.push_back(grid[i]);
            }
        }
        if (measured.k.empty())
            return Error { name, 0, "no chi(k) between k = 0 and the transform's end" };
        return measured;
    }
    auto background = removeBackground(spectrum.x, spectrum.y, params);
    if (!background) {
        Error error = background.error();
        error.file = name;
        return error;
    }
    measured.background = std::move(background.value());
    measured.k = measured.background.k;
    measured.chi = measured.background.chi;
    return measured;
}

std::string chiFileText(const MeasuredChi &measured)
{
    std::string text = "# chi(k) of " + measured.file;
    if (!measured.columns.empty())
        text += " (" + measured.columns + ")";
    text += "\n";
    if (measured.kind == Spectrum::Kind::Chi) {
        text += "# read as chi(k), no background removed\n";
    } else {
        const Background &b = measured.background;
        const PreEdge &e = b.edge;
        text += "# e0 = " + scan::number(b.e0, 9) + " eV" + (b.e0Found ? " (found)" : " (given)")
            + ", edge_step = " + scan::number(b.edgeStep) + "\n";
        text += "# pre_edge: pre1 = " + scan::number(e.pre1) + ", pre2 = " + scan::number(e.pre2)
            + ", norm1 = " + scan::number(e.norm1) + ", norm2 = " + scan::number(e.norm2)
            + ", nnorm = " + std::to_string(e.nnorm) + "\n";
        text += "# autobk: rbkg = " + scan::number(b.rbkg)
            + ", kweight = " + std::to_string(b.kweight) + ", kmin = " + scan::number(b.kmin)
            + ", kmax = " + scan::number(b.kmax) + ", knots = " + std::to_string(b.nknots) + "\n";
    }
    text += "# k chi\n";
    char buffer[64];
    for (std::size_t i = 0; i < measured.k.size() && i < measured.chi.size(); ++i) {
        auto r = std::to_chars(buffer, buffer + 32, measured.k[i], std::chars_format::fixed, 4);
        *r.ptr++ = ' ';
        r = std::to_chars(
            r.ptr, buffer + sizeof buffer, measured.chi[i], std::chars_format::general, 9);
        *r.ptr++ = '\n';
        text.append(buffer, r.ptr);
    }
    return text;
}

} // namespace xafs
