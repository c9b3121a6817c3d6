#include "commandlines.h"

#include "inputoptions.h"
#include "jobfiles.h"

#include <QCoreApplication>

CommandLines::CommandLines(const RunSettings &runSettings, const QFileInfo &inputFile)
    : settings(runSettings)
    , input(inputFile)
{
}

QString CommandLines::readOwnOptions()
{
    const InputOptions options = InputOptions::read(input.absoluteFilePath());
    if (!options.error.isEmpty())
        return QCoreApplication::translate(
            "Demeter", "Can not read %1 : %2 ; the converter runs without it")
            .arg(options.path, options.error);
    if (options.words.isEmpty())
        return QString();
    own = options.words;
    return QCoreApplication::translate(
        "Demeter", "The job of %1 uses the converter options in %2 : %3")
        .arg(input.absoluteFilePath(), options.path, options.line);
}

QString CommandLines::atomsProgram() const { return nativePath(settings.atomsExe); }

QStringList CommandLines::atomsArguments() const
{
    return settings.atomsArgs + own
        + QStringList { QStringLiteral("-c"), nativePath(input.canonicalFilePath()) };
}

QString CommandLines::feffProgram() const { return nativePath(settings.feffExe); }

QStringList CommandLines::feffArguments() const { return settings.feffArgs; }

RunRecord CommandLines::record(bool withConverter) const
{
    RunRecord run;
    run.inputPath = input.absoluteFilePath();
    run.inputSha256 = fileSha256(input.absoluteFilePath());
    if (withConverter) {
        run.atomsProgram = atomsProgram();
        run.atomsArguments = atomsArguments();
    }
    run.feffProgram = feffProgram();
    run.feffArguments = feffArguments();
    return run;
}
