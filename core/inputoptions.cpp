#include "inputoptions.h"

#include "jobfiles.h"
#include "runsettings.h"
#include "textcodec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {
// A line of options is short; anything larger is no such line.
const qint64 largestOptionsBytes = 64 * 1024;
} // namespace

QString InputOptions::pathFor(const QString &inputPath)
{
    return inputPath + QStringLiteral(".args");
}

InputOptions InputOptions::read(const QString &inputPath)
{
    InputOptions options;
    options.path = pathFor(inputPath);
    const QFileInfo info(options.path);
    if (!info.exists() && !info.isSymLink())
        return options;
    QFile file(options.path);
    if (!info.isFile())
        options.error = QCoreApplication::translate("Demeter", "not a regular file");
    else if (info.size() > largestOptionsBytes)
        options.error = QCoreApplication::translate("Demeter", "larger than 64 kB");
    else if (!file.open(QIODevice::ReadOnly))
        options.error = file.errorString();
    if (!options.error.isEmpty())
        return options;
    const QByteArray bytes = file.readAll();
    options.words = splitArgs(codecOfUserText(bytes)->toUnicode(bytes));
    options.line = options.words.join(QLatin1Char(' '));
    return options;
}

bool InputOptions::save(const QString &inputPath, const QString &line, QString *error)
{
    const QString path = pathFor(inputPath);
    const QString words = splitArgs(line).join(QLatin1Char(' '));
    if (words.isEmpty()) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *error = file.errorString();
        return false;
    }
    // Program arguments are in the system's encoding, UTF-8.
    return writeFileAtomically(path, words.toUtf8() + '\n', error);
}
