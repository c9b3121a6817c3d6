#include "fit.h"

#include "xafsft.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <gsl/gsl_eigen.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <mutex>
#include <thread>

namespace {

// 2m/hbar^2 in 1/(A^2 eV): k'^2 = k^2 - etok dE0.
constexpr double etok = 0.2625;
// The sigma2 the scan for starting E0 shifts assumes, and the far paths' start above it.
constexpr double scanSigma2 = 0.005;
constexpr double startFar = 0.1;

bool allFinite(const std::vector<double> &v)
{
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

std::string checkCurve(const std::vector<double> &k, const std::vector<double> &chi)
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

std::string formatNumber(double v)
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

// Natural cubic splines of one or two curves on the same points, with their slopes: the
// calculation at the shifted k'. Looks a point up directly on an evenly spaced grid
// (FEFF's), by bisection otherwise.
class Splines
{
public:
    Splines(const std::vector<double> &points, const std::vector<const std::vector<double> *> &ys)
        : x(points)
    {
        const size_t n = x.size();
        step = (x.back() - x.front()) / double(n - 1);
        even = true;
        for (size_t i = 1; i < n && even; ++i)
            even = std::fabs(x[i] - x[i - 1] - step) < 1e-9 * step;
        for (const auto *y : ys) {
            y_.push_back(*y);
            m_.push_back(secondDerivatives(*y));
        }
        for (size_t i = 0; i + 1 < n; ++i) {
            const double h = x[i + 1] - x[i];
            inverse.push_back(1 / h);
            sixth.push_back(h / 6);
            sixth2.push_back(h * h / 6);
        }
    }

    double first() const { return x.front(); }
    double last() const { return x.back(); }

    size_t interval(double at) const
    {
        const size_t n = x.size();
        size_t j;
        if (even) {
            j = size_t(std::max(0.0, (at - x.front()) / step));
            j = std::min(j, n - 2);
            // Rounding may put a point one interval off.
            if (at < x[j] && j > 0)
                --j;
            else if (at > x[j + 1] && j + 2 < n)
                ++j;
        } else {
            j = size_t(std::upper_bound(x.begin(), x.end(), at) - x.begin());
            j = std::clamp<size_t>(j, 1, n - 1) - 1;
        }
        return j;
    }

    // Value and slope of curve c at `at`, which lies in interval j.
    void eval(size_t c, size_t j, double at, double *value, double *slope) const
    {
        const std::vector<double> &y = y_[c], &m = m_[c];
        const double a = (x[j + 1] - at) * inverse[j], b = 1 - a;
        *value = a * y[j] + b * y[j + 1]
            + ((a * a * a - a) * m[j] + (b * b * b - b) * m[j + 1]) * sixth2[j];
        *slope = (y[j + 1] - y[j]) * inverse[j]
            + ((3 * b * b - 1) * m[j + 1] - (3 * a * a - 1) * m[j]) * sixth[j];
    }

private:
    std::vector<double> secondDerivatives(const std::vector<double> &y) const
    {
        const size_t n = x.size();
        std::vector<double> m(n, 0.0), c(n, 0.0), d(n, 0.0);
        for (size_t i = 1; i + 1 < n; ++i) {
            const double h0 = x[i] - x[i - 1], h1 = x[i + 1] - x[i];
            const double diag = 2 * (h0 + h1) - h0 * c[i - 1];
            c[i] = h1 / diag;
            d[i] = (6 * ((y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0) - h0 * d[i - 1]) / diag;
        }
        for (size_t i = n - 2; i >= 1; --i)
            m[i] = d[i] - c[i] * m[i + 1];
        return m;
    }

    std::vector<double> x;
    double step = 0;
    bool even = false;
    std::vector<std::vector<double>> y_, m_;
    // Per interval: 1/h, h/6 and h^2/6.
    std::vector<double> inverse, sixth, sixth2;
};

} // namespace

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

namespace {

// exp(-2 a k_j^2) for k_j = (n0 + j) h, j = 0, 1, ...: each value the last times a ratio
// that itself shrinks by exp(-4 a h^2).
class Damping
{
public:
    Damping(double a, double n0, double h)
        : value(std::exp(-2 * a * n0 * n0 * h * h))
        , ratio(std::exp(-2 * a * h * h * (2 * n0 + 1)))
        , shrink(std::exp(-4 * a * h * h))
    {
    }
    double next()
    {
        const double v = value;
        value *= ratio;
        ratio *= shrink;
        return v;
    }

private:
    double value, ratio, shrink;
};

// One fit's model on the grid and its partials, with S0^2 solved for (the model is linear in
// it) and held within its bounds: the solver sees dE0, sigma2 and, with shells, the far
// paths' position t between sigma2 and sigma2Max.
class Problem
{
public:
    Problem(const FitTarget::Data &data, const CalcChi &calc, bool withShells)
        : d(data)
        , o(data.options)
        , shells(withShells)
        , de0 { o.de0Min, o.de0Max }
        , sigma2 { o.sigma2Min, o.sigma2Max }
        , far { 0, 1 }
    {
        std::vector<double> rest = calc.chi;
        if (shells)
            for (size_t i = 0; i < rest.size(); ++i)
                rest[i] -= calc.firstShell[i];
        splines = std::make_unique<Splines>(calc.k,
            shells ? std::vector<const std::vector<double> *> { &calc.firstShell, &rest }
                   : std::vector<const std::vector<double> *> { &rest });
        const size_t n = d.gridK.size();
        c.resize(n);
        for (auto &p : partial)
            p.resize(n);
        bc.resize(d.stride);
        for (auto &p : bPartial)
            p.resize(d.stride);
    }

    size_t parameters() const { return shells ? 3 : 2; }

    // The cost ||S0^2 B c - b||^2 at dE0 e and sigma2 ss with the far paths damped alike.
    double scanCost(double e, double ss)
    {
        model(e, ss, 0, false);
        return residual(nullptr);
    }

    void start(gsl_vector *u, double e) const
    {
        gsl_vector_set(u, 0, de0.inner(e));
        gsl_vector_set(u, 1, sigma2.inner(std::clamp(scanSigma2, o.sigma2Min, o.sigma2Max)));
        if (shells)
            gsl_vector_set(u, 2, far.inner(startFar));
    }

    static int f(const gsl_vector *u, void *self, gsl_vector *out)
    {
        auto *p = static_cast<Problem *>(self);
        p->at(u, false);
        p->residual(out);
        return GSL_SUCCESS;
    }

    static int df(const gsl_vector *u, void *self, gsl_matrix *jac)
    {
        auto *p = static_cast<Problem *>(self);
        p->at(u, true);
        p->jacobian(u, jac);
        return GSL_SUCCESS;
    }

    // The parameters at u, S0^2 included, after at(u, ...).
    void result(const gsl_vector *u, FitResult *r) const
    {
        r->de0 = de0.value(gsl_vector_get(u, 0));
        r->sigma2 = sigma2.value(gsl_vector_get(u, 1));
        r->sigma2Far = r->sigma2;
        if (shells) {
            const double t = far.value(gsl_vector_get(u, 2));
            r->sigma2Far = r->sigma2 + (o.sigma2Max - r->sigma2) * t;
        }
        r->s02 = scale;
        r->shells = shells;
        r->atBound.clear();
        if (clamped)
            r->atBound.push_back("s02");
        if (de0.atLow(r->de0) || de0.atHigh(r->de0))
            r->atBound.push_back("de0");
        if (sigma2.atLow(r->sigma2) || sigma2.atHigh(r->sigma2))
            r->atBound.push_back("sigma2");
        if (shells && far.atHigh(far.value(gsl_vector_get(u, 2))))
            r->atBound.push_back("sigma2_far");
    }

    // The model on the grid at the parameters of the last at(u, ...).
    const std::vector<double> &grid() const { return c; }
    double s02Value() const { return scale; }

    void at(const gsl_vector *u, bool partials)
    {
        model(de0.value(gsl_vector_get(u, 0)), sigma2.value(gsl_vector_get(u, 1)),
            shells ? far.value(gsl_vector_get(u, 2)) : 0.0, partials);
    }

private:
    // c = exp(-2 ss k^2) (first(k') + exp(-2 (sigma2Max - ss) t k^2) rest(k')) on the grid,
    // B c, and with partials the same for the derivatives by dE0, ss and t.
    void model(double e, double ss, double t, bool partials)
    {
        // The solver asks for the Jacobian where it has just asked for the residual: B c and
        // S0^2 are known then, only the partials remain.
        const bool known = haveLast && e == last[0] && ss == last[1] && t == last[2];
        haveLast = true;
        last[0] = e;
        last[1] = ss;
        last[2] = t;
        const size_t n = d.gridK.size();
        const double span = o.sigma2Max - ss;
        // exp(-2 a k_j^2) on the evenly spaced grid by two running products, not n exp().
        const double h = fourier::gridStep;
        const double n0 = d.gridK[0] / h;
        Damping e1(ss, n0, h), e2(shells ? span * t : 0.0, n0, h);
        for (size_t j = 0; j < n; ++j) {
            const double k = d.gridK[j];
            const double k2 = k * k;
            const double kp2 = k2 - etok * e;
            const double kp = kp2 > 0 ? std::sqrt(kp2) : 0.0;
            double first = 0, firstSlope = 0, rest = 0, restSlope = 0;
            if (kp >= splines->first() && kp <= splines->last()) {
                const size_t i = splines->interval(kp);
                if (shells) {
                    splines->eval(0, i, kp, &first, &firstSlope);
                    splines->eval(1, i, kp, &rest, &restSlope);
                } else {
                    splines->eval(0, i, kp, &rest, &restSlope);
                }
            }
            const double d1 = e1.next(), d2 = e2.next();
            c[j] = d1 * (first + rest * d2);
            if (partials) {
                partial[0][j]
                    = kp > 0 ? d1 * (firstSlope + restSlope * d2) * (-etok / (2 * kp)) : 0;
                partial[1][j] = -2 * k2 * c[j] + (shells ? d1 * rest * d2 * 2 * t * k2 : 0.0);
                partial[2][j] = shells ? d1 * rest * d2 * (-2 * span * k2) : 0.0;
            }
        }
        const int stride = d.stride;
        if (!known)
            std::fill(bc.begin(), bc.end(), 0.0);
        for (auto &p : bPartial)
            std::fill(p.begin(), p.end(), 0.0);
        double *__restrict out = bc.data();
        double *__restrict out0 = bPartial[0].data();
        double *__restrict out1 = bPartial[1].data();
        double *__restrict out2 = bPartial[2].data();
        // Blocks of four rows, which the compiler turns into vector operations.
        for (size_t j = 0; j < n; ++j) {
            const double *__restrict column = &d.reducedMap[j * size_t(stride)];
            const double cj = c[j];
            if (!partials) {
                for (int i = 0; i < stride; i += 4) {
                    out[i] += column[i] * cj;
                    out[i + 1] += column[i + 1] * cj;
                    out[i + 2] += column[i + 2] * cj;
                    out[i + 3] += column[i + 3] * cj;
                }
                continue;
            }
            const double p0 = partial[0][j], p1 = partial[1][j], p2 = partial[2][j];
            if (!known)
                for (int i = 0; i < stride; ++i)
                    out[i] += column[i] * cj;
            for (int i = 0; i < stride; i += 4) {
                for (int l = 0; l < 4; ++l) {
                    const double m = column[i + l];
                    out0[i + l] += m * p0;
                    out1[i + l] += m * p1;
                }
            }
            if (shells)
                for (int i = 0; i < stride; ++i)
                    out2[i] += column[i] * p2;
        }
        if (known)
            return;
        norm = 0;
        double projection = 0;
        for (int i = 0; i < d.rank; ++i) {
            norm += bc[i] * bc[i];
            projection += bc[i] * d.reducedTarget[i];
        }
        const double best = norm > 0 ? projection / norm : 1.0;
        scale = std::clamp(best, o.s02Min, o.s02Max);
        clamped = best != scale;
    }

    double residual(gsl_vector *out) const
    {
        double cost = 0;
        for (int i = 0; i < d.rank; ++i) {
            const double r = scale * bc[i] - d.reducedTarget[i];
            if (out)
                gsl_vector_set(out, i, r);
            cost += r * r;
        }
        return cost;
    }

    // d(S0^2 B c - b)/du: S0^2 B dc plus B c dS0^2 while S0^2 is free, each times dp/du.
    void jacobian(const gsl_vector *u, gsl_matrix *jac) const
    {
        const double slopes[3] = { de0.slope(gsl_vector_get(u, 0)),
            sigma2.slope(gsl_vector_get(u, 1)), shells ? far.slope(gsl_vector_get(u, 2)) : 0.0 };
        for (size_t p = 0; p < parameters(); ++p) {
            double dScale = 0;
            if (!clamped && norm > 0) {
                double dProjection = 0, dNorm = 0;
                for (int i = 0; i < d.rank; ++i) {
                    dProjection += bPartial[p][i] * d.reducedTarget[i];
                    dNorm += 2 * bPartial[p][i] * bc[i];
                }
                dScale = (dProjection - scale * dNorm) / norm;
            }
            for (int i = 0; i < d.rank; ++i)
                gsl_matrix_set(jac, i, p, (scale * bPartial[p][i] + bc[i] * dScale) * slopes[p]);
        }
    }

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

void silenceGsl()
{
    static std::once_flag once;
    // GSL's default handler aborts the program; every status is checked here instead.
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

// The solver's workspace, kept per thread for the problem sizes it last saw.
struct Workspace
{
    ~Workspace()
    {
        if (w)
            gsl_multifit_nlinear_free(w);
    }
    gsl_multifit_nlinear_workspace *get(size_t n, size_t p)
    {
        if (!w || n != rows || p != params) {
            if (w)
                gsl_multifit_nlinear_free(w);
            gsl_multifit_nlinear_parameters params0 = gsl_multifit_nlinear_default_parameters();
            w = gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params0, n, p);
            rows = n;
            params = p;
        }
        return w;
    }
    gsl_multifit_nlinear_workspace *w = nullptr;
    size_t rows = 0, params = 0;
};

} // namespace

std::string parseFitRanges(const std::string &text, FitOptions *options)
{
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    bool shells = options->shellSigma2;
    if (fields.size() == 6) {
        if (fields[5] == "one")
            shells = false;
        else if (fields[5] == "shells")
            shells = true;
        else
            return "'" + fields[5] + "' is neither one (sigma2) nor shells";
        fields.pop_back();
    }
    if (fields.size() != 5)
        return "'" + text + "' is not kmin,kmax,kweight,rmin,rmax (five numbers)";
    static const char *names[] = { "kmin", "kmax", "kweight", "rmin", "rmax" };
    double v[5];
    for (int i = 0; i < 5; ++i) {
        std::string f = fields[i];
        f.erase(0, f.find_first_not_of(" \t"));
        f.erase(f.find_last_not_of(" \t") + 1);
        const char *end = f.data() + f.size();
        auto r = std::from_chars(f.data(), end, v[i]);
        if (f.empty() || r.ec != std::errc() || r.ptr != end || !std::isfinite(v[i]))
            return std::string(names[i]) + " '" + f + "' is not a number";
        if (v[i] < 0)
            return std::string(names[i]) + " " + f + " is negative";
    }
    if (v[0] >= v[1])
        return "kmin " + formatNumber(v[0]) + " is not below kmax " + formatNumber(v[1]);
    if (v[1] > 20)
        return "kmax " + formatNumber(v[1]) + " is past 20 1/A";
    if (v[2] != std::floor(v[2]) || v[2] > 3)
        return "kweight " + formatNumber(v[2]) + " is not 0, 1, 2 or 3";
    if (v[3] >= v[4])
        return "rmin " + formatNumber(v[3]) + " is not below rmax " + formatNumber(v[4]);
    if (v[4] > 15)
        return "rmax " + formatNumber(v[4]) + " is past 15 A";
    options->kmin = v[0];
    options->kmax = v[1];
    options->kweight = int(v[2]);
    options->rmin = v[3];
    options->rmax = v[4];
    options->shellSigma2 = shells;
    return {};
}

FitTarget::FitTarget(
    const std::vector<double> &k, const std::vector<double> &chi, const FitOptions &options)
    : d(std::make_unique<Data>())
{
    silenceGsl();
    d->options = options;
    d->error = checkCurve(k, chi);
    if (!d->error.empty()) {
        d->error = "the measured " + d->error;
        return;
    }
    FitOptions &o = d->options;
    if (!(o.s02Min < o.s02Max && o.de0Min < o.de0Max && o.sigma2Min < o.sigma2Max && o.dk >= 0
            && o.kweight >= 0 && o.kweight <= 3 && o.kmin >= 0 && o.rmin >= 0)) {
        d->error = "the fit's options hold an empty bound, a negative range or a k weight "
                   "outside 0 to 3";
        return;
    }
    o.kmax = std::min(o.kmax, k.back());
    if (o.kmin >= o.kmax) {
        d->error = "the measured chi(k) ends at k = " + formatNumber(k.back())
            + ", not past kmin = " + formatNumber(o.kmin);
        return;
    }
    const FtParams ft { o.kmin, o.kmax, o.dk, FtWindow::Hanning };
    std::vector<int> gridIndex;
    for (int n = 0; n < fourier::gridSize; ++n) {
        const double kn = n * fourier::gridStep;
        if (windowValue(ft, kn) > 0) {
            gridIndex.push_back(n);
            d->gridK.push_back(kn);
        }
    }
    const double rStep = fourier::rStep();
    const int mLo = int(std::ceil(o.rmin / rStep - 1e-9));
    const int mHi = std::min(int(std::floor(o.rmax / rStep + 1e-9)), fourier::gridSize / 2 - 1);
    const int rPoints = mHi - mLo + 1;
    const int cols = int(d->gridK.size());
    d->rows = 2 * rPoints;
    if (rPoints < 2 || cols < 4) {
        d->error = "the R range " + formatNumber(o.rmin) + " to " + formatNumber(o.rmax)
            + " holds fewer than 2 points of the transform";
        return;
    }
    const int rows = d->rows;

    const auto chiR
        = forwardTransform(uniformGrid(k.data(), chi.data(), int(k.size())), o.kweight, ft);
    d->target.resize(rows);
    for (int m = 0; m < rPoints; ++m) {
        d->target[2 * m] = chiR[mLo + m].real();
        d->target[2 * m + 1] = chiR[mLo + m].imag();
    }
    for (double t : d->target)
        d->targetNorm += t * t;
    if (!(d->targetNorm > 0)) {
        d->error = "the measured chi(k) is zero over the R range";
        return;
    }

    // The transform is linear: its columns are the transforms of unit values at each k_n.
    d->map.assign(size_t(rows) * cols, 0.0);
    std::vector<double> unit(fourier::gridSize, 0.0);
    for (int j = 0; j < cols; ++j) {
        unit[gridIndex[j]] = 1;
        const auto column = forwardTransform(unit, o.kweight, ft);
        unit[gridIndex[j]] = 0;
        for (int m = 0; m < rPoints; ++m) {
            d->map[size_t(2 * m) * cols + j] = column[mLo + m].real();
            d->map[size_t(2 * m + 1) * cols + j] = column[mLo + m].imag();
        }
    }

    // A transform over a narrow R range of a windowed k range has few significant singular
    // values (about 2 (kmax - kmin)(rmax - rmin) / pi of them): keep the directions above
    // 1e-5 of the largest (the R-factor at the end is taken over all rows), and fit in those.
    gsl_matrix *gram = gsl_matrix_alloc(rows, rows);
    for (int a = 0; a < rows; ++a)
        for (int b = a; b < rows; ++b) {
            double s = 0;
            for (int j = 0; j < cols; ++j)
                s += d->map[size_t(a) * cols + j] * d->map[size_t(b) * cols + j];
            gsl_matrix_set(gram, a, b, s);
            gsl_matrix_set(gram, b, a, s);
        }
    gsl_vector *eval = gsl_vector_alloc(rows);
    gsl_matrix *evec = gsl_matrix_alloc(rows, rows);
    gsl_eigen_symmv_workspace *ws = gsl_eigen_symmv_alloc(rows);
    gsl_eigen_symmv(gram, eval, evec, ws);
    gsl_eigen_symmv_sort(eval, evec, GSL_EIGEN_SORT_VAL_DESC);
    const double largest = gsl_vector_get(eval, 0);
    int rank = 0;
    while (rank < rows && gsl_vector_get(eval, rank) > 1e-10 * largest)
        ++rank;
    rank = std::min(rows, std::max(rank, 3));
    d->rank = rank;
    d->stride = (rank + 3) / 4 * 4;
    d->reducedMap.assign(size_t(d->stride) * cols, 0.0);
    d->reducedTarget.assign(rank, 0.0);
    for (int i = 0; i < rank; ++i) {
        for (int a = 0; a < rows; ++a) {
            const double u = gsl_matrix_get(evec, a, i);
            d->reducedTarget[i] += u * d->target[a];
            const double *row = &d->map[size_t(a) * cols];
            for (int j = 0; j < cols; ++j)
                d->reducedMap[size_t(j) * d->stride + i] += u * row[j];
        }
    }
    gsl_eigen_symmv_free(ws);
    gsl_matrix_free(evec);
    gsl_vector_free(eval);
    gsl_matrix_free(gram);
}

FitTarget::~FitTarget() = default;
FitTarget::FitTarget(FitTarget &&) noexcept = default;
FitTarget &FitTarget::operator=(FitTarget &&) noexcept = default;

bool FitTarget::isValid() const { return d->error.empty(); }

const std::string &FitTarget::error() const { return d->error; }

const FitOptions &FitTarget::options() const { return d->options; }

FitResult FitTarget::fit(const CalcChi &calc) const
{
    FitResult result;
    if (!isValid()) {
        result.error = d->error;
        return result;
    }
    result.error = checkCurve(calc.k, calc.chi);
    if (result.error.empty() && !calc.firstShell.empty()
        && (calc.firstShell.size() != calc.chi.size() || !allFinite(calc.firstShell)))
        result.error = "first shell's chi(k) does not lie on the calculation's k points";
    if (!result.error.empty()) {
        result.error = "the calculated " + result.error;
        return result;
    }
    const FitOptions &o = d->options;
    Problem problem(*d, calc, o.shellSigma2 && !calc.firstShell.empty());

    // Starting E0 shifts: the lowest local minima of the cost along a scan of dE0.
    std::vector<double> shifts, costs;
    for (double e = o.de0Min; e <= o.de0Max + 1e-9; e += std::max(o.de0Step, 0.1)) {
        shifts.push_back(e);
        costs.push_back(problem.scanCost(e, std::clamp(scanSigma2, o.sigma2Min, o.sigma2Max)));
    }
    std::vector<size_t> minima;
    for (size_t i = 0; i < shifts.size(); ++i)
        if ((i == 0 || costs[i] <= costs[i - 1])
            && (i + 1 == shifts.size() || costs[i] <= costs[i + 1]))
            minima.push_back(i);
    std::stable_sort(
        minima.begin(), minima.end(), [&](size_t a, size_t b) { return costs[a] < costs[b]; });
    minima.resize(std::min<size_t>(minima.size(), std::max(1, o.starts)));

    const size_t np = problem.parameters();
    gsl_multifit_nlinear_fdf fdf;
    fdf.f = Problem::f;
    fdf.df = Problem::df;
    fdf.fvv = nullptr;
    fdf.n = d->rank;
    fdf.p = np;
    fdf.params = &problem;
    thread_local Workspace workspace;
    gsl_multifit_nlinear_workspace *w = workspace.get(d->rank, np);
    gsl_vector *u0 = gsl_vector_alloc(np);
    gsl_vector *best = gsl_vector_alloc(np);
    double bestCost = HUGE_VAL;
    for (size_t i : minima) {
        problem.start(u0, shifts[i]);
        gsl_multifit_nlinear_init(u0, &fdf, w);
        // GSL's own tests wait for the step or the gradient to vanish, which a parameter
        // held near a bound by the sine does only slowly; the cost settles long before.
        double last = HUGE_VAL;
        int quiet = 0;
        for (int iter = 0; iter < 100; ++iter) {
            if (gsl_multifit_nlinear_iterate(w) != GSL_SUCCESS)
                break;
            int info = 0;
            if (gsl_multifit_nlinear_test(1e-8, 1e-8, 0, &info, w) == GSL_SUCCESS)
                break;
            const gsl_vector *res = gsl_multifit_nlinear_residual(w);
            double cost = 0;
            for (size_t r = 0; r < res->size; ++r)
                cost += gsl_vector_get(res, r) * gsl_vector_get(res, r);
            quiet = last - cost <= 1e-6 * cost ? quiet + 1 : 0;
            if (quiet == 2)
                break;
            last = cost;
        }
        const gsl_vector *res = gsl_multifit_nlinear_residual(w);
        double cost = 0;
        for (size_t r = 0; r < res->size; ++r)
            cost += gsl_vector_get(res, r) * gsl_vector_get(res, r);
        if (std::isfinite(cost) && cost < bestCost) {
            bestCost = cost;
            gsl_vector_memcpy(best, gsl_multifit_nlinear_position(w));
        }
    }
    gsl_vector_free(u0);
    if (!std::isfinite(bestCost)) {
        gsl_vector_free(best);
        result.error = "the fit did not converge";
        return result;
    }

    problem.at(best, false);
    problem.result(best, &result);
    gsl_vector_free(best);
    result.ok = true;

    // The R-factor over the whole R range, not the reduced problem's.
    const std::vector<double> &model = problem.grid();
    const size_t n = d->gridK.size();
    double misfit = 0;
    for (int a = 0; a < d->rows; ++a) {
        const double *row = &d->map[size_t(a) * n];
        double m = 0;
        for (size_t j = 0; j < n; ++j)
            m += row[j] * model[j];
        const double diff = d->target[a] - problem.s02Value() * m;
        misfit += diff * diff;
    }
    result.rfactor = misfit / d->targetNorm;
    return result;
}

std::vector<double> fittedChi(
    const CalcChi &calc, const FitResult &fit, const std::vector<double> &k)
{
    std::vector<double> out(k.size(), 0.0);
    if (!checkCurve(calc.k, calc.chi).empty())
        return out;
    const bool shells = fit.shells && calc.firstShell.size() == calc.chi.size();
    std::vector<double> rest = calc.chi;
    if (shells)
        for (size_t i = 0; i < rest.size(); ++i)
            rest[i] -= calc.firstShell[i];
    const Splines splines(calc.k,
        shells ? std::vector<const std::vector<double> *> { &calc.firstShell, &rest }
               : std::vector<const std::vector<double> *> { &rest });
    for (size_t i = 0; i < k.size(); ++i) {
        const double k2 = k[i] * k[i];
        const double kp2 = k2 - etok * fit.de0;
        const double kp = kp2 > 0 ? std::sqrt(kp2) : 0.0;
        if (!(kp >= splines.first() && kp <= splines.last()))
            continue;
        const size_t j = splines.interval(kp);
        double first = 0, restValue = 0, slope = 0;
        if (shells) {
            splines.eval(0, j, kp, &first, &slope);
            splines.eval(1, j, kp, &restValue, &slope);
        } else {
            splines.eval(0, j, kp, &restValue, &slope);
        }
        out[i] = fit.s02 * std::exp(-2 * fit.sigma2 * k2)
            * (first + restValue * std::exp(-2 * (fit.sigma2Far - fit.sigma2) * k2));
    }
    return out;
}

std::vector<FitResult> fitAll(
    const FitTarget &target, const std::vector<CalcChi> &calculations, int threads)
{
    std::vector<FitResult> results(calculations.size());
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = int(std::min<size_t>(size_t(threads), std::max<size_t>(1, calculations.size())));
    std::atomic<size_t> next { 0 };
    auto work = [&] {
        for (size_t i = next++; i < calculations.size(); i = next++)
            results[i] = target.fit(calculations[i]);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (auto &t : pool)
        t.join();
    return results;
}
