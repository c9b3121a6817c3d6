#include "fourier.h"

#include <algorithm>
#include <cmath>

QVector<double> onUniformGrid(const QVector<double> &k, const QVector<double> &chi)
{
    const std::vector<double> grid
        = uniformGrid(k.constData(), chi.constData(), std::min(k.size(), chi.size()));
    return QVector<double>(grid.begin(), grid.end());
}

namespace {

// chi(R) of the data with the window's kmax cut to the data's last k; empty without data.
std::vector<std::complex<double>> chiR(
    const QVector<double> &k, const QVector<double> &chi, int kWeight, const FtParams &ft)
{
    if (k.isEmpty() || chi.isEmpty())
        return {};
    FtParams window = ft;
    window.kmax = std::min(ft.kmax, k.last());
    return forwardTransform(
        uniformGrid(k.constData(), chi.constData(), std::min(k.size(), chi.size())), kWeight,
        window);
}

} // namespace

QVector<double> chiRMagnitude(
    const QVector<double> &k, const QVector<double> &chi, int kWeight, const FtParams &ft)
{
    const std::vector<std::complex<double>> r = chiR(k, chi, kWeight, ft);
    QVector<double> magnitude(int(r.size()));
    for (int m = 0; m < magnitude.size(); ++m)
        magnitude[m] = std::abs(r[m]);
    return magnitude;
}

QVector<double> chiRPart(const QVector<double> &k, const QVector<double> &chi, int kWeight,
    const FtParams &ft, bool imaginary)
{
    const std::vector<std::complex<double>> r = chiR(k, chi, kWeight, ft);
    QVector<double> part(int(r.size()));
    for (int m = 0; m < part.size(); ++m)
        part[m] = imaginary ? r[m].imag() : r[m].real();
    return part;
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
