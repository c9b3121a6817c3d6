#include "fourier.h"

#include <algorithm>
#include <cmath>

QVector<double> onUniformGrid(const QVector<double> &k, const QVector<double> &chi)
{
    const std::vector<double> grid
        = uniformGrid(k.constData(), chi.constData(), std::min(k.size(), chi.size()));
    return QVector<double>(grid.begin(), grid.end());
}

QVector<double> chiRMagnitude(
    const QVector<double> &k, const QVector<double> &chi, int kWeight, const FtParams &ft)
{
    if (k.isEmpty() || chi.isEmpty())
        return {};
    FtParams window = ft;
    window.kmax = std::min(ft.kmax, k.last());
    const std::vector<std::complex<double>> chiR = forwardTransform(
        uniformGrid(k.constData(), chi.constData(), std::min(k.size(), chi.size())), kWeight,
        window);
    QVector<double> magnitude(int(chiR.size()));
    for (int m = 0; m < magnitude.size(); ++m)
        magnitude[m] = std::abs(chiR[m]);
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
