#ifndef COMMANDLINES_H
#define COMMANDLINES_H

#include "runrecord.h"
#include "runsettings.h"

#include <QFileInfo>
#include <QStringList>

// As a shell finds a program named without a directory: on the child's PATH, then ours;
// a name with a '/' as it is, and one found nowhere as it is too.
QString resolveProgram(const QString &program, const QProcessEnvironment &environment);
// What a run record knows a program file by: its path with every link resolved and the
// SHA-256 of its content ("<path> sha256:<hex>"), so that a link pointed elsewhere or a
// script rewritten in place is another program. The hash is taken once per file, size and
// time of change in a run of this program. Empty for a program that is not a readable file.
QString programFileId(const QString &program, const QProcessEnvironment &environment);

// The command lines of a job's programs: the converter with ATOMS_ARG, then the input's
// own options (its .args file, so that they override ATOMS_ARG's words), then -c and the
// input; FEFF with FEFF_ARG. A run record names the same programs and arguments.
class CommandLines
{
public:
    CommandLines(const RunSettings &settings, const QFileInfo &input);

    // Reads the input's .args file; the message says what came of it (empty when there is
    // no file).
    QString readOwnOptions();
    QStringList ownOptions() const { return own; }
    void setOwnOptions(const QStringList &words) { own = words; }

    QString atomsProgram() const;
    QStringList atomsArguments() const;
    QString feffProgram() const;
    QStringList feffArguments() const;

    // A record of a run with these programs and arguments, of the input as it is now.
    RunRecord record(bool withConverter) const;

private:
    RunSettings settings;
    QFileInfo input;
    QStringList own;
};

#endif
