#include "comparison.h"

#include "absorber.h"
#include "jobfiles.h"
#include "jobranking.h"
#include "paramstore.h"

#include <QFileInfo>

namespace {

QString absolute(const QString &path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

} // namespace

bool ComparisonOptions::fromCommandLine(
    const ParamStore &commandLine, ComparisonOptions *options, QString *error)
{
    ComparisonOptions read;
    for (const char *option :
        { "-measured", "-measured-chi", "-rank", "-columns", "-bkg", "-e0", "-fit", "-element" }) {
        if (commandLine.contains(option) && commandLine.value(option).isEmpty()) {
            *error = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
    }
    read.measuredPath = absolute(commandLine.value("-measured"));
    read.measuredChiPath = absolute(commandLine.value("-measured-chi"));
    read.rankPath = absolute(commandLine.value("-rank"));
    read.read.columns = commandLine.value("-columns");
    read.read.bkg = commandLine.value("-bkg");
    read.read.e0 = commandLine.value("-e0");
    if (!read.wanted()) {
        for (const char *option :
            { "-measured-chi", "-rank", "-columns", "-bkg", "-e0", "-fit", "-element" })
            if (commandLine.contains(option)) {
                *error = QStringLiteral("%1 needs -measured FILE").arg(option);
                return false;
            }
    }
    xafs::ReadOptions readOptions;
    xafs::BkgParams bkg;
    if (!read.read.parse(&readOptions, &bkg, error))
        return false;
    if (commandLine.contains("-fit")) {
        const std::string why = parseFitRanges(commandLine.value("-fit").toStdString(), &read.fit);
        if (!why.empty()) {
            *error = QStringLiteral("-fit %1: %2")
                         .arg(commandLine.value("-fit"), QString::fromStdString(why));
            return false;
        }
    }
    const QString element = commandLine.value("-element");
    if (!element.isEmpty()) {
        const int z = elementNumber(element.toStdString());
        if (z == 0) {
            *error = QStringLiteral("-element %1: no such element").arg(element);
            return false;
        }
        read.element = QString::fromStdString(elementSymbol(z));
    }
    *options = read;
    return true;
}

void rankAgainst(JobRanking *ranking, const MeasuredSpectrum &measured, const QString &element)
{
    if (element.isEmpty() || element.compare(measured.element(), Qt::CaseInsensitive) == 0)
        ranking->setMeasured(measured, measured.element(), measured.edge());
    else
        ranking->setMeasured(measured, element, QString());
}

bool startComparison(const ComparisonOptions &options, MeasuredSpectrum *measured,
    JobRanking *ranking, QString *error)
{
    if (!measured->load(options.measuredPath, options.read, error))
        return false;
    if (!options.measuredChiPath.isEmpty()
        && !writeOutputFile(options.measuredChiPath, measured->chiFileText(), error)) {
        *error = QStringLiteral("Can not write %1 : %2").arg(options.measuredChiPath, *error);
        return false;
    }
    ranking->setOptions(options.fit);
    rankAgainst(ranking, *measured, options.element);
    if (!ranking->measuredProblem().isEmpty()) {
        *error = QStringLiteral("%1 : %2").arg(measured->path(), ranking->measuredProblem());
        return false;
    }
    return true;
}
