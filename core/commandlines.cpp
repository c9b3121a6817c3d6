#include "commandlines.h"

#include "inputoptions.h"
#include "jobfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>

QString resolveProgram(const QString &program, const QProcessEnvironment &environment)
{
    if (program.contains(QLatin1Char('/')))
        return program;
    const QStringList childPath = environment.value("PATH").split(':', Qt::SkipEmptyParts);
    QString found = QStandardPaths::findExecutable(program, childPath);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

QString programFileId(const QString &program, const QProcessEnvironment &environment)
{
    const QFileInfo file(resolveProgram(program, environment));
    const QString path = file.canonicalFilePath();
    if (path.isEmpty() || !file.isFile())
        return QString();
    // A program of some megabytes is hashed once, not once per job of a batch.
    static QMutex mutex;
    static QHash<QString, QString> known;
    const QString key = QStringLiteral("%1\t%2\t%3")
                            .arg(path)
                            .arg(file.size())
                            .arg(file.metadataChangeTime().toMSecsSinceEpoch());
    QMutexLocker lock(&mutex);
    QString &id = known[key];
    if (id.isEmpty()) {
        const QString sha = fileSha256(path);
        if (sha.isEmpty())
            return QString();
        id = path + QStringLiteral(" sha256:") + sha;
    }
    return id;
}

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
    // A launcher's arguments may name the program that does the work (nice -n 10
    // /usr/bin/feff6): an argument that is a program file is known by its content too.
    const auto addFiles = [this, &run](const QString &program, const QStringList &arguments) {
        run.programFiles << programFileId(program, settings.environment);
        for (const QString &argument : arguments)
            if (argument.startsWith(QLatin1Char('/')) && QFileInfo(argument).isExecutable()
                && QFileInfo(argument).isFile())
                run.programFiles << programFileId(argument, settings.environment);
    };
    if (withConverter) {
        run.atomsProgram = atomsProgram();
        run.atomsArguments = atomsArguments();
        addFiles(run.atomsProgram, settings.atomsArgs);
    }
    run.feffProgram = feffProgram();
    run.feffArguments = feffArguments();
    addFiles(run.feffProgram, run.feffArguments);
    return run;
}
