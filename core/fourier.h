#ifndef FOURIER_H
#define FOURIER_H

#include <QString>
#include <QVector>

#include "xafsft.h"

// chi on the uniform grid by linear interpolation between the data's points (k ascending),
// zero below the first and above the last point.
QVector<double> onUniformGrid(const QVector<double> &k, const QVector<double> &chi);

// |chi(R_m)| = (dk/sqrt(pi)) |sum_n k_n^w chi(k_n) W(k_n) exp(2 pi i n m / N)| for m < N/2.
// kmax is cut to the data's last k. Empty for data with no point.
QVector<double> chiRMagnitude(
    const QVector<double> &k, const QVector<double> &chi, int kWeight, const FtParams &ft);

// The real or imaginary part of chi(R_m), as chiRMagnitude computes its modulus.
QVector<double> chiRPart(const QVector<double> &k, const QVector<double> &chi, int kWeight,
    const FtParams &ft, bool imaginary);

// "hanning" or "kaiser", and back; false for another name.
QString windowName(FtWindow window);
bool windowFromName(const QString &name, FtWindow *window);

#endif
