#include "fitmodel.h"

#include "fitsplines.h"
#include "xafsft.h"

#include <gsl/gsl_errno.h>

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

} // namespace

namespace fitmodel {

Problem::Problem(const FitTarget::Data &data, const CalcChi &calc, bool withShells)
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

Problem::~Problem() = default;

double Problem::scanCost(double e, double ss)
{
    model(e, ss, 0, false);
    return residual(nullptr);
}

void Problem::start(gsl_vector *u, double e) const
{
    gsl_vector_set(u, 0, de0.inner(e));
    gsl_vector_set(u, 1, sigma2.inner(std::clamp(scanSigma2, o.sigma2Min, o.sigma2Max)));
    if (shells)
        gsl_vector_set(u, 2, far.inner(startFar));
}

int Problem::f(const gsl_vector *u, void *self, gsl_vector *out)
{
    auto *p = static_cast<Problem *>(self);
    p->at(u, false);
    p->residual(out);
    return GSL_SUCCESS;
}

int Problem::df(const gsl_vector *u, void *self, gsl_matrix *jac)
{
    auto *p = static_cast<Problem *>(self);
    p->at(u, true);
    p->jacobian(u, jac);
    return GSL_SUCCESS;
}

void Problem::result(const gsl_vector *u, FitResult *r) const
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

void Problem::at(const gsl_vector *u, bool partials)
{
    model(de0.value(gsl_vector_get(u, 0)), sigma2.value(gsl_vector_get(u, 1)),
        shells ? far.value(gsl_vector_get(u, 2)) : 0.0, partials);
}

void Problem::model(double e, double ss, double t, bool partials)
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
            partial[0][j] = kp > 0 ? d1 * (firstSlope + restSlope * d2) * (-etok / (2 * kp)) : 0;
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

double Problem::residual(gsl_vector *out) const
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

void Problem::jacobian(const gsl_vector *u, gsl_matrix *jac) const
{
    const double slopes[3] = { de0.slope(gsl_vector_get(u, 0)), sigma2.slope(gsl_vector_get(u, 1)),
        shells ? far.slope(gsl_vector_get(u, 2)) : 0.0 };
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

} // namespace fitmodel

using namespace fitmodel;

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
