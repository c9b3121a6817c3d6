#include "plotexport.h"

#include "jobfiles.h"

#include <cmath>

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QVector<double> viewGrid(PlotSpace space, double x0, double x1, const QVector<Series> &series)
{
    double lo = 1e300, hi = -1e300;
    for (const Series &s : series)
        if (!s.x.isEmpty()) {
            lo = std::min(lo, s.xMin);
            hi = std::max(hi, s.xMax);
        }
    lo = std::max(lo, std::min(x0, x1));
    hi = std::min(hi, std::max(x0, x1));
    QVector<double> grid;
    if (!(lo <= hi) || !std::isfinite(lo) || !std::isfinite(hi))
        return grid;
    const double step = space == PlotSpace::R ? fourier::rStep() : fourier::gridStep;
    // Points a rounding error outside the span still belong to it.
    const double slack = 1e-9 * step;
    for (qint64 n = qint64(std::ceil((lo - slack) / step)); n * step <= hi + slack; ++n)
        grid << n * step;
    return grid;
}

QString viewCsv(PlotSpace space, const QVector<double> &grid, const QVector<QString> &names,
    const QVector<Series> &series)
{
    QString text = space == PlotSpace::R ? QStringLiteral("R") : QStringLiteral("k");
    for (const QString &name : names)
        text += QLatin1Char(',') + csvField(name);
    text += QLatin1Char('\n');
    for (double x : grid) {
        text += QString::number(x, 'g', 10);
        for (const Series &s : series) {
            text += QLatin1Char(',');
            double v;
            if (seriesValueAt(s, x, &v))
                text += QString::number(v, 'g', 10);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QString viewCsvNotes(const PlotView &view)
{
    const bool r = view.space == PlotSpace::R;
    QString notes = QStringLiteral("# space %1\n# k-weight %2\n")
                        .arg(r ? QStringLiteral("R") : QStringLiteral("k"))
                        .arg(view.kWeight);
    if (r)
        notes += QStringLiteral("# part %1\n")
                     .arg(view.rPart == RPart::Real           ? QStringLiteral("real")
                             : view.rPart == RPart::Imaginary ? QStringLiteral("imaginary")
                                                              : QStringLiteral("magnitude"));
    notes += QStringLiteral("# window %1 kmin %2 kmax %3 dk %4\n")
                 .arg(windowName(view.ft.window))
                 .arg(view.ft.kmin)
                 .arg(view.ft.kmax)
                 .arg(view.ft.dk);
    if (view.offset != 0)
        notes += QStringLiteral("# offset %1 between shown curves, not in the columns\n")
                     .arg(view.offset);
    return notes;
}

bool saveViewCsv(const QString &path, const PlotView &view, double x0, double x1,
    const QVector<QString> &names, const QVector<Series> &series, QString *error)
{
    const QByteArray bytes = (viewCsvNotes(view)
        + viewCsv(view.space, viewGrid(view.space, x0, x1, series), names, series))
                                 .toUtf8();
    QString cause;
    if (writeOutputFile(path, bytes, &cause))
        return true;
    if (error)
        *error = cause;
    return false;
}
