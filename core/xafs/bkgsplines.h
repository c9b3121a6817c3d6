#ifndef XAFS_BKGSPLINES_H
#define XAFS_BKGSPLINES_H

#include "bkgdetail.h"

#include <gsl/gsl_bspline.h>

namespace xafs::bkg {

// The not-a-knot cubic spline through (x, y), x strictly increasing, at least 4 points:
// the interpolant scipy's UnivariateSpline(x, y, s=0) makes, extended beyond the ends by
// its end pieces.
class NotAKnot
{
public:
    explicit NotAKnot(const std::vector<double> &x);

    // The spline of y at the increasing points xout.
    bool evaluate(const double *y, const std::vector<double> &xout, double *out) const;

private:
    const std::vector<double> &m_x;
    std::size_t m_n;
    std::vector<double> m_h;
    std::vector<double> m_diag, m_upper, m_lower;
};

// The cubic B-splines of the clamped knots through `points` (scipy's splrep knots), at x;
// beyond the ends, the end polynomials (Taylor series from the end knot, exact for a cubic).
class Basis
{
public:
    static constexpr int order = 4;

    explicit Basis(const std::vector<double> &points);

    bool ok() const { return m_ok; }

    // The four B-splines not zero at x: B_first .. B_first+3 into out[0..4).
    bool evaluate(double x, double *out, std::size_t &first);

private:
    std::unique_ptr<gsl_bspline_workspace, decltype(&gsl_bspline_free)> m_work;
    GslVector m_values;
    GslMatrix m_derivs;
    double m_lo = 0, m_hi = 0;
    bool m_ok = false;
};

} // namespace xafs::bkg

#endif
