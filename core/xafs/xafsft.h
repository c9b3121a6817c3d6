#ifndef XAFSFT_H
#define XAFSFT_H

#include <complex>
#include <vector>

// The taper applied to k^w chi(k) before its transform to R.
enum class FtWindow { Hanning, Kaiser };

// The window of the forward transform: kmin, kmax and the taper width dk (all in 1/A).
struct FtParams
{
    double kmin = 3;
    double kmax = 14;
    double dk = 1;
    FtWindow window = FtWindow::Hanning;

    bool operator==(const FtParams &o) const
    {
        return kmin == o.kmin && kmax == o.kmax && dk == o.dk && window == o.window;
    }
    bool operator!=(const FtParams &o) const { return !(*this == o); }
};

namespace fourier {
// The uniform grid k_n = n * gridStep, n < gridSize (zero-padded past the data).
constexpr double gridStep = 0.05;
constexpr int gridSize = 2048;
// R_m = m * rStep for m < gridSize / 2, about 0.0307 A.
double rStep();
} // namespace fourier

// The window's value at k: Hanning tapers with sin^2 and cos^2 over dk around kmin and
// kmax; Kaiser-Bessel is I0-shaped over kmin - dk/2 .. kmax + dk/2. Zero outside.
double windowValue(const FtParams &ft, double k);

// chi on the uniform grid (fourier::gridSize points) by linear interpolation between the
// data's points (k ascending), zero below the first and above the last point.
std::vector<double> uniformGrid(const double *k, const double *chi, int count);

// The first count values (count <= N/2) of chi(R_m) = (dk/sqrt(pi)) sum_n v_n
// exp(-2 pi i n m / N) of values v_n already weighted and windowed on the uniform grid,
// zero past the n given (Larch's xftf_fast). Safe to call from several threads.
void transformGrid(const double *values, int n, int count, std::complex<double> *out);

// chi(R_m) = (dk/sqrt(pi)) sum_n k_n^w chi(k_n) W(k_n) exp(-2 pi i n m / N) for m < N/2,
// of chi given on the uniform grid (the sign of the exponent is FFTW's and numpy's, so
// that real and imaginary parts read as Larch's). Safe to call from several threads.
std::vector<std::complex<double>> forwardTransform(
    const std::vector<double> &gridChi, int kWeight, const FtParams &ft);

#endif
