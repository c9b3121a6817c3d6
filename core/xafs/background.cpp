#include "background.h"

#include "bkgdetail.h"
#include "bkgsplines.h"
#include "xafsft.h"

#include <complex>

namespace {

using namespace xafs;
using namespace xafs::bkg;

constexpr double pi = 3.14159265358979323846;
constexpr double kstep = fourier::gridStep;
constexpr int nfft = fourier::gridSize;

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

} // namespace

namespace xafs {

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

} // namespace xafs
