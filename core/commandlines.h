#ifndef COMMANDLINES_H
#define COMMANDLINES_H

#include "runrecord.h"
#include "runsettings.h"

#include <QFileInfo>
#include <QStringList>

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
