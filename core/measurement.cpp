#include "measurement.h"

#include "measured.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

QString fromStd(const std::string &text) { return QString::fromStdString(text); }

} // namespace

bool MeasuredOptions::parse(xafs::ReadOptions *read, xafs::BkgParams *params, QString *error) const
{
    if (!columns.isEmpty()) {
        const auto choice = xafs::parseColumnChoice(columns.toStdString());
        if (!choice) {
            *error = QStringLiteral("-columns: %1").arg(fromStd(choice.error().reason));
            return false;
        }
        read->columns = choice.value();
    }
    if (!bkg.isEmpty()) {
        const auto parsed = xafs::parseBkgOption(bkg.toStdString(), *params);
        if (!parsed) {
            *error = QStringLiteral("-bkg: %1").arg(fromStd(parsed.error().reason));
            return false;
        }
        *params = parsed.value();
    }
    if (!e0.isEmpty()) {
        const auto parsed = xafs::parseE0Option(e0.toStdString());
        if (!parsed) {
            *error = QStringLiteral("-e0: %1").arg(fromStd(parsed.error().reason));
            return false;
        }
        params->e0 = parsed.value();
    }
    return true;
}

bool MeasuredSpectrum::load(const QString &path, const MeasuredOptions &options, QString *error)
{
    xafs::ReadOptions read;
    xafs::BkgParams params;
    if (!options.parse(&read, &params, error))
        return false;
    const std::string file = QFile::encodeName(path).toStdString();
    const auto readOutcome = xafs::readMeasuredFile(file, read);
    if (!readOutcome) {
        *error = fromStd(readOutcome.error().message());
        return false;
    }
    const auto derivedOutcome = xafs::deriveChi(readOutcome.value(), file, params);
    if (!derivedOutcome) {
        *error = fromStd(derivedOutcome.error().message());
        if (!derivedOutcome.error().file.empty())
            return false;
        *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    spectrum = readOutcome.value();
    derived = derivedOutcome.value();
    filePath = path;
    fileName = QFileInfo(xafs::splitProjectPath(file).first.c_str()).fileName();
    if (!spectrum.group.empty())
        fileName += QLatin1Char('#') + fromStd(spectrum.group);
    curve.setPoints(QVector<double>(derived.k.begin(), derived.k.end()),
        QVector<double>(derived.chi.begin(), derived.chi.end()));
    return true;
}

QStringList MeasuredSpectrum::groups() const
{
    QStringList list;
    for (const std::string &label : spectrum.groups)
        list << fromStd(label);
    return list;
}

QString MeasuredSpectrum::summary() const
{
    if (!isLoaded())
        return QString();
    if (!fromMu())
        return QCoreApplication::translate("ShowChi", "%1: chi(k) as read, k %2\u2013%3")
            .arg(fileName)
            .arg(curve.kMin())
            .arg(curve.kMax());
    return QCoreApplication::translate("ShowChi", "%1: E0 %2 eV, edge step %3")
        .arg(fileName)
        .arg(derived.background.e0, 0, 'f', 2)
        .arg(derived.background.edgeStep, 0, 'g', 4);
}

QByteArray MeasuredSpectrum::chiFileText() const
{
    return QByteArray::fromStdString(xafs::chiFileText(derived));
}
