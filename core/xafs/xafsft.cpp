#include "xafsft.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <mutex>

namespace {

constexpr double pi = 3.14159265358979323846;

// One real-to-complex plan of the grid's size, made at first use and kept: planning costs
// far more than a transform of 2048 points. Planning is not thread-safe in FFTW, executing
// a plan on other arrays of the same alignment is: each thread has its own arrays.
fftw_plan gridPlan()
{
    static fftw_plan plan = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        double *in = fftw_alloc_real(fourier::gridSize);
        fftw_complex *out = fftw_alloc_complex(fourier::gridSize / 2 + 1);
        plan = fftw_plan_dft_r2c_1d(fourier::gridSize, in, out, FFTW_ESTIMATE);
        fftw_free(out);
        fftw_free(in);
    });
    return plan;
}

struct ThreadArrays
{
    ThreadArrays()
        : in(fftw_alloc_real(fourier::gridSize))
        , out(fftw_alloc_complex(fourier::gridSize / 2 + 1))
    {
    }
    ~ThreadArrays()
    {
        fftw_free(out);
        fftw_free(in);
    }
    ThreadArrays(const ThreadArrays &) = delete;
    ThreadArrays &operator=(const ThreadArrays &) = delete;

    double *in;
    fftw_complex *out;
};

ThreadArrays &threadArrays()
{
    thread_local ThreadArrays arrays;
    return arrays;
}

// The transform of arrays.in: its first count values, scaled, into out.
void execute(ThreadArrays &arrays, int count, std::complex<double> *out)
{
    fftw_execute_dft_r2c(gridPlan(), arrays.in, arrays.out);
    const double scale = fourier::gridStep / std::sqrt(pi);
    for (int m = 0; m < count; ++m)
        out[m] = scale * std::complex<double>(arrays.out[m][0], arrays.out[m][1]);
}

double powerOf(double k, int w)
{
    double p = 1;
    for (int i = 0; i < w; ++i)
        p *= k;
    return p;
}

} // namespace

double fourier::rStep() { return pi / (gridSize * gridStep); }

double windowValue(const FtParams &ft, double k)
{
    const double k1 = ft.kmin - ft.dk / 2, k2 = ft.kmin + ft.dk / 2;
    const double k3 = ft.kmax - ft.dk / 2, k4 = ft.kmax + ft.dk / 2;
    if (!(k >= k1 && k <= k4))
        return 0;
    if (ft.window == FtWindow::Kaiser) {
        const double c = (k1 + k4) / 2, h = (k4 - k1) / 2;
        const double u = (k - c) / h;
        const double s = std::sqrt(std::max(0.0, 1 - u * u));
        // Towards dk = 0 the quotient tends to 1 - u^2 and its terms to 0/0.
        if (ft.dk < 1e-6)
            return s * s;
        return (std::cyl_bessel_i(0.0, ft.dk * s) - 1) / (std::cyl_bessel_i(0.0, ft.dk) - 1);
    }
    if (k < k2) {
        const double s = std::sin(pi / 2 * (k - k1) / (k2 - k1));
        return s * s;
    }
    if (k > k3) {
        const double c = std::cos(pi / 2 * (k - k3) / (k4 - k3));
        return c * c;
    }
    return 1;
}

std::vector<double> uniformGrid(const double *k, const double *chi, int count)
{
    std::vector<double> grid(fourier::gridSize, 0.0);
    if (count <= 0)
        return grid;
    int j = 0;
    for (int n = 0; n < fourier::gridSize; ++n) {
        const double kn = n * fourier::gridStep;
        if (kn < k[0])
            continue;
        if (kn > k[count - 1])
            break;
        while (j + 1 < count && k[j + 1] < kn)
            ++j;
        if (j + 1 >= count || k[j] == kn) {
            grid[n] = chi[j];
            continue;
        }
        const double span = k[j + 1] - k[j];
        grid[n] = span > 0 ? chi[j] + (chi[j + 1] - chi[j]) * (kn - k[j]) / span : chi[j];
    }
    return grid;
}

void transformGrid(const double *values, int n, int count, std::complex<double> *out)
{
    ThreadArrays &arrays = threadArrays();
    n = std::max(0, std::min(n, fourier::gridSize));
    std::copy(values, values + n, arrays.in);
    std::fill(arrays.in + n, arrays.in + fourier::gridSize, 0.0);
    execute(arrays, std::max(0, std::min(count, fourier::gridSize / 2)), out);
}

std::vector<std::complex<double>> forwardTransform(
    const std::vector<double> &gridChi, int kWeight, const FtParams &ft)
{
    ThreadArrays &arrays = threadArrays();
    const int n = std::min<int>(gridChi.size(), fourier::gridSize);
    for (int i = 0; i < fourier::gridSize; ++i) {
        const double kn = i * fourier::gridStep;
        const double value = i < n ? gridChi[i] : 0.0;
        arrays.in[i] = value == 0 ? 0 : powerOf(kn, kWeight) * value * windowValue(ft, kn);
    }
    std::vector<std::complex<double>> chiR(fourier::gridSize / 2);
    execute(arrays, int(chiR.size()), chiR.data());
    return chiR;
}
