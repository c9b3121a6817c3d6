#ifndef RUNRECORD_H
#define RUNRECORD_H

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a good run of a job was, kept in its working directory: which input (and its
// SHA-256), which programs (their files by resolved path and SHA-256) with which arguments,
// when and how long, and the SHA-256 of the feff.inp that was run and of the chi.dat it
// gave. A later run of the program can
// tell from it whether a job's result is still the one its input gives.
struct RunRecord
{
    QString inputPath;
    QString inputSha256;
    QString atomsProgram; // empty for a FEFF input
    QStringList atomsArguments;
    QString feffProgram;
    QStringList feffArguments;
    // The program files, as programFileId() gives them: the converter's, FEFF's, and those
    // their arguments name.
    QStringList programFiles;
    int exitCode = 0;
    QDateTime started;
    double seconds = 0;
    QString feffInpSha256;
    // That feff.inp was the user's (edited in the row or on disk), not the converter's or
    // the copied input: a later start keeps it aside before replacing it.
    bool feffInpEdited = false;
    QString chiSha256;
    int chiPoints = 0;

    static QString fileName() { return QStringLiteral("orbelin-run.json"); }
    // False when the directory holds no record it can read.
    bool read(const QString &dir);
    bool write(const QString &dir, QString *error) const;
    static void remove(const QString &dir);
    // The same input, programs (the same files) and arguments.
    bool sameRunAs(const RunRecord &other) const;
};

#endif
