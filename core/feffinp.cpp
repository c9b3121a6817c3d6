#include "feffinp.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QStringList>

const QString feffInpMarker = QStringLiteral(" * This");
const QString copiedHeaderLine = feffInpMarker + QStringLiteral(" file was copied by Orbelin\n");

namespace {

template <typename Text, typename Marker>
int markerAtLineStart(const Text &text, const Marker &marker, char16_t lineBreak)
{
    for (int at = text.indexOf(marker); at >= 0; at = text.indexOf(marker, at + 1))
        if (at == 0 || text.at(at - 1) == lineBreak)
            return at;
    return -1;
}

} // namespace

int markerOffset(const QByteArray &output)
{
    return markerAtLineStart(output, feffInpMarker.toLatin1(), '\n');
}

int markerOffset(const QString &text) { return markerAtLineStart(text, feffInpMarker, u'\n'); }

QString textFromMarker(const QString &text)
{
    const int at = markerOffset(text);
    return at < 0 ? text : text.mid(at);
}

void removeFeffDatFiles(const QString &dir)
{
    QDir workDir(dir);
    const QStringList names = workDir.entryList(QStringList { "feff*.dat" });
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

QString breakLongLines(const QString &text, int width, int *column)
{
    QString result;
    result.reserve(text.size() + text.size() / qMax(width, 1));
    int start = 0;
    while (start < text.size()) {
        const int lineBreak = text.indexOf(QLatin1Char('\n'), start);
        const int end = lineBreak < 0 ? text.size() : lineBreak;
        // Copy the run up to the line break, breaking it where it outgrows width.
        for (int at = start; at < end;) {
            const int room = width - *column;
            if (room <= 0) {
                result += QLatin1Char('\n');
                *column = 0;
                continue;
            }
            const int take = qMin(room, end - at);
            result += QStringView(text).mid(at, take);
            *column += take;
            at += take;
        }
        if (lineBreak < 0)
            break;
        result += QLatin1Char('\n');
        *column = 0;
        start = lineBreak + 1;
    }
    return result;
}

void TroubleLines::add(const QString &output)
{
    // An unfinished line is kept only as far as a complaint could reach, so that output
    // without line breaks costs no memory and no rescanning.
    const int kept = 4096;
    const int lastBreak = output.lastIndexOf(QLatin1Char('\n'));
    if (lastBreak < 0) {
        partial += output.leftRef(qMax(0, kept - partial.size()));
        return;
    }
    const QString complete = partial + output.leftRef(lastBreak);
    const QVector<QStringRef> lines = complete.splitRef(QLatin1Char('\n'));
    for (const QStringRef &line : lines)
        scan(line);
    partial = output.mid(lastBreak + 1, kept);
}

QStringList TroubleLines::finish()
{
    scan(QStringRef(&partial));
    partial.clear();
    QStringList result;
    for (int i = 0; i < found.size(); ++i)
        result << (counts.at(i) == 1 ? found.at(i)
                                     : QCoreApplication::translate("Demeter", "%1 (%2 times)")
                                           .arg(found.at(i))
                                           .arg(counts.at(i)));
    if (more > 0)
        result << QStringLiteral("... %1 more such lines").arg(more);
    found.clear();
    counts.clear();
    more = 0;
    return result;
}

void TroubleLines::scan(const QStringRef &line)
{
    // A launcher's own complaint, as "srun: error: Unable to contact slurm controller".
    static const QRegularExpression launcherError(QStringLiteral("^\\s*[\\w.-]+: error:"));
    static const QRegularExpression complaint = [] {
        // FEFF's own "Fatal Error" and path-finder limit, and FEFF 8.5L's lines about an input
        // it computes wrongly or not at all; like FEFF 6, it exits with 0 after them. Its
        // "rmax > distance to most distant atom" warning is not one: it comes on every run.
        const char *const phrases[] = {
            "Fatal Error",
            "limit exceeded",
            "Keyword unrecognized",
            "Error reading input",
            "No absorbing atom",
            "No atoms or overlap cards",
            "More than one absorbing atom",
            "Too many atoms",
            "Unique potentials must be between",
            "TWO ATOMS VERY CLOSE TOGETHER",
            "NO ATOMS CLOSE ENOUGH TO OVERLAP",
            "Cannot remove an electron",
            "detected on a line",
            "Error opening file",
            "exceeds the hard wired limit",
            "np > np1x",
            "Could not find feff.inp",
            // gfortran's own words when FEFF stops on a runtime error (exit code 2).
            "Fortran runtime error",
        };
        QStringList alternatives;
        for (const char *phrase : phrases)
            alternatives << QRegularExpression::escape(QLatin1String(phrase));
        // One expression for every phrase: a FEFF run prints thousands of lines, and one
        // case-blind search per phrase and line cost more than reading the output itself.
        QRegularExpression all(
            alternatives.join(QLatin1Char('|')), QRegularExpression::CaseInsensitiveOption);
        all.optimize();
        return all;
    }();
    static const QRegularExpression missingElement(
        QStringLiteral("Atomic number\\s+\\d+\\s+not available"));
    // The line before gfortran's runtime error: where in FEFF's sources it stopped.
    static const QRegularExpression fortranLine(QStringLiteral("^\\s*At line \\d+ of file "));
    // A program gone wrong may repeat its complaint a million times; the log gets a few.
    const int shown = 20;
    if (complaint.match(line).hasMatch() || launcherError.match(line).hasMatch()
        || missingElement.match(line).hasMatch() || fortranLine.match(line).hasMatch()) {
        const QString text = line.trimmed().toString();
        const int seen = found.lastIndexOf(text);
        if (seen >= 0)
            ++counts[seen];
        else if (found.size() < shown) {
            found << text;
            counts << 1;
        } else
            ++more;
    }
}

QStringList feffTroubleLines(const QString &output)
{
    TroubleLines trouble;
    trouble.add(output);
    return trouble.finish();
}
