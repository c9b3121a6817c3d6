#ifndef COMPARISON_H
#define COMPARISON_H

#include "fit.h"
#include "measurement.h"

#include <QString>

class JobRanking;
class ParamStore;

// What the command line asks of a measured spectrum: the file and how to read it, where
// its derived chi(k) goes, the fit's ranges, the element that is ranked and where the
// ranking goes.
struct ComparisonOptions
{
    QString measuredPath;
    QString measuredChiPath;
    QString rankPath;
    QString element;
    MeasuredOptions read;
    FitOptions fit;

    bool wanted() const { return !measuredPath.isEmpty(); }
    // Reads -measured, -measured-chi, -columns, -bkg, -e0, -fit, -element and -rank (paths
    // made absolute from the current directory); false and a message naming the option for
    // a value it does not take, or an option that needs -measured without it.
    static bool fromCommandLine(
        const ParamStore &commandLine, ComparisonOptions *options, QString *error);
};

// Loads the measured spectrum, writes its chi(k) when asked to and gives it to the ranking
// with the element to rank (the user's, else the file's) and the fit's ranges; false with a
// message naming the file and the reason when any of it fails.
// Gives the ranking the measured spectrum with the element to rank: the user's, else the
// file's, with the file's edge when it is of that element.
void rankAgainst(JobRanking *ranking, const MeasuredSpectrum &measured, const QString &element);

bool startComparison(const ComparisonOptions &options, MeasuredSpectrum *measured,
    JobRanking *ranking, QString *error);

#endif
