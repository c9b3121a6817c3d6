#include "plotview.h"

#include "paramstore.h"

#include <QCoreApplication>
#include <QStringList>
#include <cmath>

namespace {

const QString superscripts[] = { QString(), QStringLiteral("\u00b9"), QStringLiteral("\u00b2"),
    QStringLiteral("\u00b3"), QStringLiteral("\u2074") };

// "A^-n" in the typography of the axis titles.
QString inverseAngstrom(int power)
{
    return QStringLiteral("\u00c5\u207b") + superscripts[std::min(std::max(power, 1), 4)];
}

} // namespace

bool usableFt(const FtParams &ft)
{
    return std::isfinite(ft.kmin) && std::isfinite(ft.kmax) && std::isfinite(ft.dk) && ft.kmin >= 0
        && ft.kmin < ft.kmax && ft.dk >= 0;
}

bool viewFromOptions(const ParamStore &options, PlotView *view, QString *error)
{
    PlotView v;
    if (options.contains("-kweight")) {
        bool ok = false;
        const QString text = options.value("-kweight");
        v.kWeight = text.toInt(&ok);
        if (!ok || v.kWeight < 0 || v.kWeight > maxKWeight) {
            *error = QString("-kweight takes 0, 1, 2 or 3, not \"%1\"").arg(text);
            return false;
        }
    }
    if (options.contains("-space")) {
        const QString text = options.value("-space").toLower();
        if (text == "k")
            v.space = PlotSpace::K;
        else if (text == "r")
            v.space = PlotSpace::R;
        else {
            *error = QString("-space takes k or r, not \"%1\"").arg(options.value("-space"));
            return false;
        }
    }
    if (options.contains("-ft")) {
        const QString text = options.value("-ft");
        const QStringList parts = text.split(',');
        bool ok = parts.size() == 4;
        FtParams ft;
        if (ok) {
            bool a, b, c;
            ft.kmin = parts[0].toDouble(&a);
            ft.kmax = parts[1].toDouble(&b);
            ft.dk = parts[2].toDouble(&c);
            ok = a && b && c && windowFromName(parts[3], &ft.window) && usableFt(ft);
        }
        if (!ok) {
            *error = QString("-ft takes kmin,kmax,dk,hanning|kaiser with 0 <= kmin < kmax and "
                             "dk >= 0, not \"%1\"")
                         .arg(text);
            return false;
        }
        v.ft = ft;
    }
    *view = v;
    return true;
}

QString xTitle(const PlotView &view)
{
    if (view.space == PlotSpace::R)
        return QCoreApplication::translate("ShowChi", "R (\u00c5)");
    return QCoreApplication::translate("ShowChi", "k (%1)").arg(inverseAngstrom(1));
}

QString yTitle(const PlotView &view)
{
    const int w = view.kWeight;
    if (view.space == PlotSpace::R && view.rPart == RPart::Real)
        return QCoreApplication::translate("ShowChi", "Re chi(R) (%1)").arg(inverseAngstrom(w + 1));
    if (view.space == PlotSpace::R && view.rPart == RPart::Imaginary)
        return QCoreApplication::translate("ShowChi", "Im chi(R) (%1)").arg(inverseAngstrom(w + 1));
    if (view.space == PlotSpace::R)
        return QCoreApplication::translate("ShowChi", "|chi(R)| (%1)").arg(inverseAngstrom(w + 1));
    if (w == 0)
        return QCoreApplication::translate("ShowChi", "chi(k)");
    const QString weight = QStringLiteral("k") + superscripts[std::min(w, 4)];
    return QCoreApplication::translate("ShowChi", "%1\u00b7chi(k) (%2)")
        .arg(weight, inverseAngstrom(w));
}

QString viewCaption(const PlotView &view)
{
    const int w = view.kWeight;
    const QString weighted = w == 0
        ? QStringLiteral("chi(k)")
        : QStringLiteral("k") + superscripts[std::min(w, 4)] + QStringLiteral("\u00b7chi(k)");
    QString shown = weighted;
    if (view.space == PlotSpace::R) {
        switch (view.rPart) {
        case RPart::Magnitude:
            shown = QCoreApplication::translate("ShowChi", "|FT| of %1").arg(weighted);
            break;
        case RPart::Real:
            shown = QCoreApplication::translate("ShowChi", "Re FT of %1").arg(weighted);
            break;
        case RPart::Imaginary:
            shown = QCoreApplication::translate("ShowChi", "Im FT of %1").arg(weighted);
            break;
        }
    }
    const QString shape = view.ft.window == FtWindow::Kaiser
        ? QCoreApplication::translate("ShowChi", "Kaiser-Bessel")
        : QCoreApplication::translate("ShowChi", "Hanning");
    QString caption
        = QCoreApplication::translate("ShowChi", "%1; window k %2\u2013%3 %4, dk %5, %6")
              .arg(shown)
              .arg(view.ft.kmin)
              .arg(view.ft.kmax)
              .arg(inverseAngstrom(1))
              .arg(view.ft.dk)
              .arg(shape);
    if (view.offset != 0)
        caption += QCoreApplication::translate("ShowChi", "; offset %1").arg(view.offset);
    return caption;
}
