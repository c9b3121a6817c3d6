#ifndef XAFS_BKGDETAIL_H
#define XAFS_BKGDETAIL_H

// What the files of the background removal share and the library does not show: GSL's
// vectors and matrices owned, a linear least-squares solve and Larch's index look-ups.
#include "outcome.h"
#include "textscan.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace xafs::bkg {

inline void quietGsl()
{
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler_off(); });
}

inline Error failure(std::string reason) { return Error { std::string(), 0, std::move(reason) }; }

// Larch's index_of: the last index at or below value, 0 below the first.
inline std::size_t indexOf(const std::vector<double> &a, double value)
{
    const auto it = std::upper_bound(a.begin(), a.end(), value);
    return it == a.begin() ? 0 : std::size_t(it - a.begin() - 1);
}

// Larch's index_nearest on an increasing array: the first index of the least |a - value|.
inline std::size_t indexNearest(const std::vector<double> &a, double value)
{
    const std::size_t i = std::size_t(std::lower_bound(a.begin(), a.end(), value) - a.begin());
    if (i == 0)
        return 0;
    if (i == a.size())
        return a.size() - 1;
    return std::abs(a[i - 1] - value) <= std::abs(a[i] - value) ? i - 1 : i;
}

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
inline bool leastSquares(const GslMatrix &x, const GslVector &y, GslVector &c)
{
    std::unique_ptr<gsl_multifit_linear_workspace, decltype(&gsl_multifit_linear_free)> work(
        gsl_multifit_linear_alloc(x.m->size1, x.m->size2), gsl_multifit_linear_free);
    GslMatrix cov(x.m->size2, x.m->size2);
    double chisq = 0;
    return work && gsl_multifit_linear(x.m, y.v, c.v, cov.m, &chisq, work.get()) == GSL_SUCCESS;
}

inline std::string eV(double value) { return scan::number(value, 8) + " eV"; }

} // namespace xafs::bkg

#endif
