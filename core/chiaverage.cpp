#include "chiaverage.h"

#include "chidata.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

// Points this close in k are the same point.
const double sameK = 1e-9;

// The last point at or before k (k within ks's range); from is where the last search
// ended, as the k asked for only grow.
int pointBefore(const QVector<double> &ks, double k, int from)
{
    while (from + 1 < ks.size() && ks.at(from + 1) <= k + sameK)
        ++from;
    return from;
}

// column at k, by linear interpolation between the points j and j + 1.
double valueAt(const QVector<double> &ks, const QVector<double> &column, int j, double k)
{
    if (std::abs(ks.at(j) - k) <= sameK || j + 1 >= ks.size())
        return column.at(j);
    const double t = (k - ks.at(j)) / (ks.at(j + 1) - ks.at(j));
    return column.at(j) + t * (column.at(j + 1) - column.at(j));
}

} // namespace

bool ChiColumns::read(const QString &path, QString *error)
{
    *this = ChiColumns();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        openFailed = true;
        *error = file.errorString();
        return false;
    }
    ChiRows rows;
    rows.readFrom(file, true);
    // A gap left by such rows would be bridged by interpolation as if it were data.
    notFinite = rows.notFinite;
    if (notFinite > 0) {
        *error = QStringLiteral("%1 rows with values that are not finite").arg(notFinite);
        return false;
    }
    if (rows.k.isEmpty()) {
        *error = QStringLiteral("no data");
        return false;
    }
    for (int i = 1; i < rows.k.size(); ++i)
        if (rows.k.at(i) <= rows.k.at(i - 1)) {
            *error = QStringLiteral("k does not rise after %1").arg(rows.k.at(i - 1));
            return false;
        }
    k = std::move(rows.k);
    chi = std::move(rows.chi);
    mag = std::move(rows.mag);
    phase = std::move(rows.phase);
    wave = rows.wave;
    return true;
}

bool ChiAverage::compute(const QVector<WeightedChi> &runs, QString *error)
{
    names.clear();
    weights.clear();
    average = ChiColumns();
    if (runs.isEmpty()) {
        *error = QStringLiteral("no run to average");
        return false;
    }
    double low = -HUGE_VAL, high = HUGE_VAL, sum = 0;
    for (const WeightedChi &run : runs) {
        low = std::max(low, run.columns.k.first());
        high = std::min(high, run.columns.k.last());
        sum += run.weight;
    }
    // Weights of 1e308 each pass one by one; their sum is no number to divide by.
    if (!std::isfinite(sum) || sum <= 0) {
        *error
            = QStringLiteral("the weights add up to %1, not to a finite number above 0").arg(sum);
        return false;
    }
    if (low > high + sameK) {
        *error = QStringLiteral("the runs have no k range in common");
        return false;
    }
    for (const WeightedChi &run : runs) {
        names << run.name;
        weights << run.weight / sum;
    }
    QVector<int> from(runs.size(), 0);
    for (const double k : runs.first().columns.k) {
        if (k < low - sameK || k > high + sameK)
            continue;
        double chi = 0;
        std::complex<double> wave;
        double meanPhase = 0;
        for (int i = 0; i < runs.size(); ++i) {
            const ChiColumns &c = runs.at(i).columns;
            const int j = from[i] = pointBefore(c.k, k, from.at(i));
            const double magValue = valueAt(c.k, c.mag, j, k);
            const double phaseValue = valueAt(c.k, c.phase, j, k);
            const bool onPoint = std::abs(c.k.at(j) - k) <= sameK;
            const double chiValue
                = onPoint || !c.wave ? valueAt(c.k, c.chi, j, k) : magValue * std::sin(phaseValue);
            chi += weights.at(i) * chiValue;
            wave += weights.at(i) * std::polar(magValue, phaseValue);
            meanPhase += weights.at(i) * phaseValue;
        }
        // arg() is the phase up to whole turns: the one nearest the last point's (at the
        // first point, the runs' mean phase) keeps the phase continuous as FEFF writes it.
        const double near = average.phase.isEmpty() ? meanPhase : average.phase.last();
        double phase = std::arg(wave);
        phase += 2 * M_PI * std::round((near - phase) / (2 * M_PI));
        average.k << k;
        average.chi << chi;
        average.mag << std::abs(wave);
        average.phase << phase;
    }
    return true;
}

QByteArray ChiAverage::fileText(const QString &title, const QStringList &missing) const
{
    QByteArray text;
    text += "# " + title.toUtf8() + '\n';
    text += "# weighted average of " + QByteArray::number(names.size())
        + " FEFF runs, weights over their sum\n";
    char line[160];
    for (int i = 0; i < names.size(); ++i) {
        std::snprintf(line, sizeof line, "# input %s weight %.17g\n",
            names.at(i).toUtf8().constData(), weights.at(i));
        text += line;
    }
    for (const QString &name : missing)
        text += "# input " + name.toUtf8() + " missing: its run gave no chi(k)\n";
    if (!average.k.isEmpty()) {
        std::snprintf(line, sizeof line,
            "# on the k points of %s from %.4f to %.4f; chi: the weighted sum of chi;\n",
            names.first().toUtf8().constData(), average.k.first(), average.k.last());
        text += line;
    }
    text += "# mag, phase: modulus and phase of the weighted sum of mag exp(i phase)\n";
    text += "      k          chi          mag           phase @#\n";
    for (int i = 0; i < average.k.size(); ++i) {
        std::snprintf(line, sizeof line, "%12.6f %16.8E %16.8E %16.8E\n", average.k.at(i),
            average.chi.at(i), average.mag.at(i), average.phase.at(i));
        text += line;
    }
    return text;
}
