#include "runsettings.h"

#include "paramstore.h"

#include <QDir>

QString joinPath(QString a, QString b)
{
    while (a.endsWith(QLatin1Char('/')))
        a.chop(1);
    while (b.startsWith(QLatin1Char('/')))
        b.remove(0, 1);
    return a + QLatin1Char('/') + b;
}

QString nativePath(const QString &path)
{
    QString result = path;
    return result.replace(QLatin1Char('/'), QDir::separator());
}

static QString resolveDir(const QString &configured)
{
    const bool drivePath = configured.size() >= 2 && configured.at(1) == QLatin1Char(':');
    return drivePath ? configured : joinPath(QDir::currentPath(), configured);
}

bool parseTimeLimit(const QString &text, int *seconds)
{
    if (text.isEmpty() || text.size() > 7)
        return false;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > largestTimeLimit)
        return false;
    if (seconds)
        *seconds = value;
    return true;
}

QStringList splitArgs(const QString &text)
{
    QStringList args = text.simplified().split(QLatin1Char(' '));
    args.removeAll(QString());
    return args;
}

void setupRunSettings(const ParamStore &params, RunSettings *settings)
{
    settings->demeterBase = params.valueNoCase("demeter_base", "C:/DemeterPerl");
    const QString base = settings->demeterBase;
    setupEnvironment(settings,
        params.valueNoCase("IFEFFIT_DIR", joinPath(base, "/c/share/ifeffit")),
        params.valueNoCase("PATH_C_BIN", joinPath(base, "/c/bin")),
        params.valueNoCase("PATH_PERL_BIN", joinPath(base, "/perl/bin")),
        params.valueNoCase("PATH_PERL_SITE_BIN", joinPath(base, "/perl/site/bin")));

    settings->cifFiles = resolveDir(params.value("CIF_FILES", "/00-Cif"));
    settings->inpFiles = resolveDir(params.value("INP_FILES", "/00-Inp"));
    settings->resFiles = resolveDir(params.value("RES_FILES", "/00-Res"));
    makeDirs(settings->cifFiles, settings->inpFiles, settings->resFiles);

    settings->atomsArgs = splitArgs(params.value("ATOMS_ARG", "-S datoms"));
    settings->atomsExe = params.value("ATOMS_EXE", joinPath(settings->pathPerlBin, "perl.exe"));
    settings->feffArgs = splitArgs(params.value("FEFF_ARG", ""));
    settings->feffExe = params.value("FEFF_EXE", joinPath(settings->pathCBin, "feff6.exe"));
    // A value that is no limit is refused by the manager; here it counts as none.
    settings->atomsTimeout = 0;
    settings->feffTimeout = 0;
    parseTimeLimit(params.value("ATOMS_TIMEOUT", "0"), &settings->atomsTimeout);
    parseTimeLimit(params.value("FEFF_TIMEOUT", "0"), &settings->feffTimeout);
    settings->averagePartial = params.value("AVERAGE_PARTIAL", "0").toInt() != 0;
}

void setupEnvironment(RunSettings *settings, const QString &ifeffitDir, const QString &pathCBin,
    const QString &pathPerlBin, const QString &pathPerlSiteBin,
    const QProcessEnvironment &inherited)
{
    settings->ifeffitDir = ifeffitDir;
    settings->pathCBin = pathCBin;
    settings->pathPerlBin = pathPerlBin;
    settings->pathPerlSiteBin = pathPerlSiteBin;

    settings->environment = inherited;
    settings->environment.insert("DEMETER_BASE", nativePath(settings->demeterBase));
    settings->environment.insert("IFEFFIT_DIR", nativePath(ifeffitDir));

    const QChar listSep
        = QDir::separator() == QLatin1Char('/') ? QLatin1Char(':') : QLatin1Char(';');
    QString path = settings->environment.value("PATH");
    if (path.endsWith(listSep))
        path.chop(1);
    settings->environment.insert("PATH",
        nativePath(path + listSep + pathCBin + listSep + pathPerlBin + listSep + pathPerlSiteBin));
}

void makeDirs(const QString &cifFiles, const QString &inpFiles, const QString &resFiles)
{
    QDir dir;
    dir.mkpath(cifFiles);
    dir.mkpath(inpFiles);
    dir.mkpath(resFiles);
}
