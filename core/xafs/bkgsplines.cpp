#include "bkgsplines.h"

#include <gsl/gsl_linalg.h>

namespace xafs::bkg {

NotAKnot::NotAKnot(const std::vector<double> &x)
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

bool NotAKnot::evaluate(const double *y, const std::vector<double> &xout, double *out) const
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
        if (gsl_linalg_solve_tridiag(&diag.vector, &upper.vector, &lower.vector, rhs.v, solution.v)
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

Basis::Basis(const std::vector<double> &points)
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

bool Basis::evaluate(double x, double *out, std::size_t &first)
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

} // namespace xafs::bkg
