#include "fourier.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>

namespace {

constexpr double pi = 3.14159265358979323846;

// One real-to-complex plan of the grid's size, made at first use and kept: planning
// costs far more than a transform of 2048 points.
class GridFft
{
public:
    GridFft()
        : in(fftw_alloc_real(fourier::gridSize))
        , out(fftw_alloc_complex(fourier::gridSize / 2 + 1))
        , plan(fftw_plan_dft_r2c_1d(fourier::gridSize, in, out, FFTW_ESTIMATE))
    {
    }
    ~GridFft()
    {
        fftw_destroy_plan(plan);
        fftw_free(out);
        fftw_free(in);
    }
    GridFft(const GridFft &) = delete;
    GridFft &operator=(const GridFft &) = delete;

    static GridFft &instance()
    {
        static GridFft fft;
        return fft;
    }

    double *in;
    fftw_complex *out;
    fftw_plan plan;
};

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

QVector<double> onUniformGrid(const QVector<double> &k, const QVector<double> &chi)
{
    QVector<double> grid(fourier::gridSize, 0.0);
    const int count = std::min(k.size(), chi.size());
    if (count == 0)
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

QVector<double> chiRMagnitude(
    const QVector<double> &k, const QVector<double> &chi, int kWeight, const FtParams &ft)
{
    if (k.isEmpty() || chi.isEmpty())
        return {};
    FtParams window = ft;
    window.kmax = std::min(ft.kmax, k.last());
    const QVector<double> grid = onUniformGrid(k, chi);

    GridFft &fft = GridFft::instance();
    for (int n = 0; n < fourier::gridSize; ++n) {
        const double kn = n * fourier::gridStep;
        fft.in[n] = grid[n] == 0 ? 0 : powerOf(kn, kWeight) * grid[n] * windowValue(window, kn);
    }
    // FFTW's forward transform has exp(-2 pi i n m / N); for real input that is the
    // complex conjugate of the sum with exp(+2 pi i n m / N), of the same magnitude.
    fftw_execute(fft.plan);
    const double scale = fourier::gridStep / std::sqrt(pi);
    QVector<double> magnitude(fourier::gridSize / 2);
    for (int m = 0; m < magnitude.size(); ++m)
        magnitude[m] = scale * std::hypot(fft.out[m][0], fft.out[m][1]);
    return magnitude;
}

QString windowName(FtWindow window)
{
    return window == FtWindow::Kaiser ? QStringLiteral("kaiser") : QStringLiteral("hanning");
}

bool windowFromName(const QString &name, FtWindow *window)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("hanning"))
        *window = FtWindow::Hanning;
    else if (n == QLatin1String("kaiser"))
        *window = FtWindow::Kaiser;
    else
        return false;
    return true;
}
