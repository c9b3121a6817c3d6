#include "feffinp.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

const QString feffInpMarker = QStringLiteral(" * This");
const QString copiedHeaderLine = QStringLiteral(" * This file was copied by Orbelin\n");

QString textFromMarker(const QString &text)
{
    const int at = text.indexOf(feffInpMarker);
    return at < 0 ? text : text.mid(at);
}

void removeFeffDatFiles(const QString &dir)
{
    QDir workDir(dir);
    const QStringList names = workDir.entryList(QStringList{"feff*.dat"});
    for (const QString &name : names)
        workDir.remove(name);
}

QString decodeOutputLines(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    int start = 0;
    while (start < bytes.size()) {
        int end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end + 1;
        const char *line = bytes.constData() + start;
        const int length = int(qstrnlen(line, uint(end - start)));
        text += QString::fromUtf8(line, length);
        start = end;
    }
    return text;
}

QStringList feffTroubleLines(const QString &output)
{
    // A launcher's own complaint, as "srun: error: Unable to contact slurm controller".
    static const QRegularExpression launcherError(QStringLiteral("^\\s*[\\w.-]+: error:"));
    // A program gone wrong may repeat its complaint a million times; the log gets a few.
    const int shown = 20;
    QStringList found;
    int more = 0;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.contains(QLatin1String("Fatal Error"), Qt::CaseInsensitive)
            || line.contains(QLatin1String("limit exceeded"), Qt::CaseInsensitive)
            || launcherError.match(line).hasMatch()) {
            if (found.size() < shown)
                found << line.trimmed();
            else
                ++more;
        }
    }
    if (more > 0)
        found << QStringLiteral("... %1 more such lines").arg(more);
    return found;
}
