#include "chidata.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

#include <atomic>
#include <cmath>

static std::atomic<quint64> lastReading { 0 };

ChiData::ChiData() { reset(); }

void ChiData::reset()
{
    readingNumber = ++lastReading;
    valid = false;
    fileName.clear();
    notFinite = 0;
    openError.clear();
    kValues.resize(0);
    chiValues.resize(0);
    minK = 1e300;
    maxK = -1e300;
    minChi = 1e300;
    maxChi = -1e300;
}

void ChiData::updateRange(double x, double &min, double &max)
{
    if (x < min)
        min = x;
    if (x > max)
        max = x;
}

bool ChiData::isHeading(const QStringList &fields)
{
    const int at = fields.value(0) == QLatin1String("#") ? 1 : 0;
    return fields.size() > at + 1 && fields.at(at) == QLatin1String("k")
        && fields.at(at + 1) == QLatin1String("chi");
}

void ChiData::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        reset();
        openError = file.errorString();
        qDebug() << "Can not open feff-chi-dat : " << path;
        return;
    }
    readFrom(file);
    fileName = valid ? path : QString();
    file.close();
}

void ChiRows::readFrom(QIODevice &device, bool withWave)
{
    QTextStream in(&device);
    bool headerSeen = false;
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().simplified().split(QLatin1Char(' '));
        if (fields.size() < 2)
            continue;
        if (!headerSeen) {
            headerSeen = ChiData::isHeading(fields);
            continue;
        }
        const double kValue = fields.at(0).toDouble();
        const double chiValue = fields.at(1).toDouble();
        bool magRead = false, phaseRead = false;
        const double magValue = withWave ? fields.value(2).toDouble(&magRead) : 0.0;
        const double phaseValue = withWave ? fields.value(3).toDouble(&phaseRead) : 0.0;
        const bool waveRead = magRead && phaseRead;
        // "nan" and "inf" are the only words with an n that read as numbers: mag and phase
        // unread are checked so, without the cost of reading them.
        const auto notANumber = [&fields](int i) {
            return fields.value(i).contains(QLatin1Char('n'), Qt::CaseInsensitive);
        };
        // A "nan" or "inf" row is no point of the curve and must not stretch the axes.
        if (!std::isfinite(kValue) || !std::isfinite(chiValue)
            || (waveRead && !(std::isfinite(magValue) && std::isfinite(phaseValue)))
            || (!withWave && (notANumber(2) || notANumber(3)))) {
            ++notFinite;
            continue;
        }
        k.append(kValue);
        chi.append(chiValue);
        if (!withWave)
            continue;
        if (waveRead) {
            mag.append(magValue);
            phase.append(phaseValue);
        } else {
            wave = false;
            mag.append(std::abs(chiValue));
            phase.append(std::copysign(M_PI / 2, chiValue));
        }
    }
}

void ChiData::setPoints(const QVector<double> &k, const QVector<double> &chi)
{
    reset();
    if (k.isEmpty() || k.size() != chi.size())
        return;
    kValues = k;
    chiValues = chi;
    for (int i = 0; i < kValues.size(); ++i) {
        updateRange(kValues[i], minK, maxK);
        updateRange(chiValues[i], minChi, maxChi);
    }
    valid = true;
}

void ChiData::readFrom(QIODevice &device)
{
    reset();
    ChiRows rows;
    rows.readFrom(device, false);
    notFinite = rows.notFinite;
    if (rows.k.isEmpty())
        return;
    kValues = std::move(rows.k);
    chiValues = std::move(rows.chi);
    for (int i = 0; i < kValues.size(); ++i) {
        updateRange(kValues[i], minK, maxK);
        updateRange(chiValues[i], minChi, maxChi);
    }
    valid = true;
    // Thousands of jobs keep their curves: no room to spare in each.
    kValues.squeeze();
    chiValues.squeeze();
}
