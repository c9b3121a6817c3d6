#ifndef INPUTOPTIONS_H
#define INPUTOPTIONS_H

#include <QString>
#include <QStringList>

// An input's own converter options: one line in "<input file name>.args" beside the input
// (ZnO.cif.args for ZnO.cif), with the words of ATOMS_ARG, which they follow on the
// converter's command line.
struct InputOptions
{
    QString path;
    // The file's words, split as ATOMS_ARG is, and joined by single blanks.
    QStringList words;
    QString line;
    // Why a file that is there could not be read; its words are then not used.
    QString error;

    static QString pathFor(const QString &inputPath);
    static InputOptions read(const QString &inputPath);
    // Saves line as the input's options; an empty line removes the file. False and the
    // cause when the file cannot be written or removed.
    static bool save(const QString &inputPath, const QString &line, QString *error);
};

#endif
