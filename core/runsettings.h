#ifndef RUNSETTINGS_H
#define RUNSETTINGS_H

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class ParamStore;

// Installation paths, directories, programs and child-process environment of one run.
struct RunSettings
{
    QString demeterBase;
    QString ifeffitDir;
    QString pathCBin;
    QString pathPerlBin;
    QString pathPerlSiteBin;
    QProcessEnvironment environment;
    QString cifFiles;
    QString inpFiles;
    QString resFiles;
    QString atomsExe;
    QStringList atomsArgs;
    QString feffExe;
    QStringList feffArgs;
    // Seconds a run of either program may take before it is ended; 0: no limit.
    // -batch gives FEFF batchFeffTimeout unless FEFF_TIMEOUT is set.
    int atomsTimeout = 0;
    int feffTimeout = 0;
    // A job of several FEFF inputs whose runs did not all give chi(k) averages the others.
    bool averagePartial = false;
};

// The largest time limit taken (about 11.6 days), and FEFF's in a -batch run that sets none.
constexpr int largestTimeLimit = 1000000;
constexpr int batchFeffTimeout = 3600;

// A time limit as ATOMS_TIMEOUT and FEFF_TIMEOUT give it: whole seconds from 0 to
// largestTimeLimit, digits only; false for anything else ("3s", "1.5", "-5", "1e1").
bool parseTimeLimit(const QString &text, int *seconds);

// Joins with exactly one "/" between a and b.
QString joinPath(QString a, QString b);
// Replaces "/" by the platform's directory separator.
QString nativePath(const QString &path);
// The words of an option line such as ATOMS_ARG's value, split at runs of blanks.
QStringList splitArgs(const QString &text);

void setupRunSettings(const ParamStore &params, RunSettings *settings);
void setupEnvironment(RunSettings *settings, const QString &ifeffitDir, const QString &pathCBin,
    const QString &pathPerlBin, const QString &pathPerlSiteBin,
    const QProcessEnvironment &inherited = QProcessEnvironment::systemEnvironment());
void makeDirs(const QString &cifFiles, const QString &inpFiles, const QString &resFiles);

#endif
