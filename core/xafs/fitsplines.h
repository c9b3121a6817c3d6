#ifndef FITSPLINES_H
#define FITSPLINES_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace fitmodel {

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

} // namespace fitmodel

#endif
