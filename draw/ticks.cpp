#include "ticks.h"

#include <algorithm>
#include <cmath>

bool computeTicks(double lower, double upper, double &step, double &first, double &last)
{
    step = 0;
    first = 1;
    last = 0;

    const double span = upper - lower;
    if (!std::isfinite(span) || !(span > 0))
        return false;
    const double e = std::pow(10.0, std::floor(std::log10(span)));
    if (!(e > 0))
        return false;
    // Kept in double: a ratio far from 1..10 must not reach an int conversion.
    const double n = std::trunc(span / e);
    double s;
    if (n >= 1 && n <= 2)
        s = 0.2 * e;
    else if (n >= 3 && n <= 4)
        s = 0.5 * e;
    else if (n >= 5 && n <= 7)
        s = e;
    else if (n >= 8 && n <= 9)
        s = 2 * e;
    else
        return false;

    double f = std::floor(lower / s) * s;
    if (lower > f)
        f += s;
    double l = std::ceil(upper / s) * s;
    if (l > upper)
        l -= s;
    // A step lost in the subnormal range (0 or inexact) turns the divisions into NaN or inf.
    if (!std::isfinite(f) || !std::isfinite(l))
        return false;

    step = s;
    first = f;
    last = l;
    return true;
}

QVector<double> tickValues(double lower, double upper)
{
    QVector<double> values;
    double step, first, last;
    if (!computeTicks(lower, upper, step, first, last))
        return values;
    // Zoomed far enough in, the step falls below the spacing of doubles at the ticks and
    // v += step stops advancing; such a walk ends instead of spinning in the paint.
    for (double v = first; v <= last && values.size() < maxTicks;) {
        values << v;
        const double next = v + step;
        if (!(next > v))
            break;
        v = next;
    }
    return values;
}

QString formatTickLabel(double value)
{
    if (std::fabs(value) < 1e-20)
        return QStringLiteral("0");
    // Kept in double, so that a value that is not finite never reaches an int conversion.
    const double exponent = std::floor(std::log10(std::fabs(value)));
    if (exponent >= 0 && 5 - 3 - exponent > 0)
        return QString::number(value, 'f', 2 - static_cast<int>(exponent));
    return QStringLiteral("%1").arg(value, value >= 0 ? 4 : 5, 'f', 2, QLatin1Char(' '));
}

namespace {

// Decimals that a multiple of step needs: 0 for a step of 1 or more, 1 for 0.2 or 0.5, ...
int stepDecimals(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
}

double onStep(double value, double step)
{
    if (!(step > 0) || !std::isfinite(value / step))
        return value;
    const double v = std::round(value / step) * step;
    // Positive zero: a tick at -1e-17 is the zero tick.
    return std::fabs(v) < 1e-6 * step ? 0.0 : v;
}

} // namespace

QString yTickLabel(double value, double step)
{
    const double v = onStep(value, step);
    const int wanted = stepDecimals(step);
    if (v == 0)
        return QString::number(0.0, 'f', std::max(2, wanted));
    const QString label = formatTickLabel(v);
    const int point = label.indexOf(QLatin1Char('.'));
    const int decimals = point < 0 ? 0 : label.size() - point - 1;
    return wanted <= decimals ? label : QString::number(v, 'f', std::min(wanted, 17));
}

QString xTickLabel(double value, double step)
{
    const double v = onStep(value, step);
    int digits = 6;
    if (v != 0 && std::isfinite(v))
        digits = std::max(digits,
            static_cast<int>(std::floor(std::log10(std::fabs(v)))) + 1 + stepDecimals(step));
    return QString::number(v, 'g', std::min(digits, 17));
}
