#include "fit.h"

#include "fitmodel.h"
#include "xafsft.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <gsl/gsl_eigen.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <mutex>
#include <thread>

using namespace fitmodel;

namespace {

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
