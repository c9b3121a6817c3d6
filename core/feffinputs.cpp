#include "feffinputs.h"

#include "feffinp.h"

#include <QList>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace {

const QByteArray separatorStart = "* orbelin-atoms";

// A name makes a directory: no separators, no "." or "..", nothing a shell would mangle.
bool usableName(const QString &name)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]{0,199}$"));
    return allowed.match(name).hasMatch();
}

bool isBlank(const QByteArray &line) { return line.trimmed().isEmpty(); }

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Lines with their line ends, so that a block keeps the converter's bytes.
QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines;
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        end = end < 0 ? text.size() : end + 1;
        lines << text.mid(start, end - start);
        start = end;
    }
    return lines;
}

FeffInputs failure(const QString &why)
{
    FeffInputs result;
    result.error = why;
    return result;
}

} // namespace

FeffInputs FeffInputs::split(const QByteArray &output)
{
    const QList<QByteArray> lines = linesOf(output);
    const QByteArray marker = feffInpMarker.toLatin1();
    FeffInputs result;
    QSet<QString> names;
    int markerBeforeInputs = 0; // its line number, 0: none
    bool markerSeen = false, endSeen = false;
    auto unfinished = [&]() -> QString {
        if (result.inputs.isEmpty())
            return QString();
        const QString name = result.inputs.last().name;
        if (!markerSeen)
            return QStringLiteral("input %1 has no FEFF input (no line with \"%2\")")
                .arg(name, feffInpMarker);
        if (!endSeen)
            return QStringLiteral("the FEFF input of %1 has no END line").arg(name);
        return QString();
    };
    for (int n = 0; n < lines.size(); ++n) {
        const QByteArray line = withoutLineEnd(lines.at(n));
        const QString where = QStringLiteral("line %1").arg(n + 1);
        if (line.startsWith(separatorStart)) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() != 6 || words.at(2) != "input" || words.at(4) != "weight")
                return failure(
                    QStringLiteral("%1 is not \"* orbelin-atoms input NAME weight W\"").arg(where));
            const QString name = QString::fromLatin1(words.at(3));
            bool number = false;
            const double weight = words.at(5).toDouble(&number);
            if (!usableName(name))
                return failure(
                    QStringLiteral("%1: '%2' can not name a directory").arg(where, name));
            if (names.contains(name))
                return failure(QStringLiteral("%1: input %2 is named twice").arg(where, name));
            if (!number || !std::isfinite(weight) || weight <= 0)
                return failure(QStringLiteral("%1: the weight of %2 is not a number above 0")
                                   .arg(where, name));
            const QString why = unfinished();
            if (!why.isEmpty())
                return failure(why);
            names.insert(name);
            result.inputs.append(ConvertedInput { name, weight, QByteArray() });
            markerSeen = endSeen = false;
            continue;
        }
        if (result.inputs.isEmpty()) {
            // The converter's messages come first; a FEFF input among them would be no one's.
            if (markerBeforeInputs == 0 && line.startsWith(marker))
                markerBeforeInputs = n + 1;
            continue;
        }
        ConvertedInput &input = result.inputs.last();
        if (!markerSeen && line.startsWith(marker))
            markerSeen = true;
        if (!markerSeen || endSeen) {
            if (!isBlank(line))
                return failure(
                    QStringLiteral("%1: text outside the FEFF input of %2").arg(where, input.name));
            continue;
        }
        input.text += lines.at(n);
        endSeen = line.trimmed().toUpper() == "END";
    }
    if (result.inputs.isEmpty())
        return FeffInputs();
    if (markerBeforeInputs > 0)
        return failure(QStringLiteral("line %1: a FEFF input before the first input line")
                           .arg(markerBeforeInputs));
    const QString why = unfinished();
    if (!why.isEmpty())
        return failure(why);
    return result;
}
