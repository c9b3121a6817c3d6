#ifndef FEFFINPWRITER_H
#define FEFFINPWRITER_H

#include <QByteArray>
#include <QString>
#include <functional>

class QTextCodec;

// Writes a job's feff.inp files: a FEFF input copied byte for byte, the converter's text
// from its marker on, or the Atoms area's text as the user edited it. A feff.inp that a
// write would replace and that no good run recorded (the user edited it) is kept as
// feff.inp.~N~ with its chi.dat; one whose owner took away the write permissions is not
// replaced. What it has to say goes to the log function.
class FeffInpWriter
{
public:
    using Log = std::function<void(const QString &)>;

    FeffInpWriter(const QString &workDir, Log log);
    void setLog(Log log);

    // Copies the FEFF input at sourcePath into the working directory; displayText gets the
    // input decoded for the Atoms area, under its header line.
    bool copyInput(const QString &sourcePath, const QString &givenPath, QString *displayText);
    // Writes bytes as dir's feff.inp (the working directory's or a run's); openFailure is
    // the message, with %1 for the path, when the file cannot be opened.
    bool replace(const QString &dir, const QByteArray &bytes, const QString &openFailure);
    // Writes the working directory's feff.inp from the Atoms area's text, from the marker on.
    bool writeFromArea(const QString &areaText);
    // The converter's output is UTF-8: edits of it are written back so.
    void takeConverterText();

    // feff.inp was written by this run of the program (copied, converted or updated).
    bool written() const { return writtenNow; }
    // The working directory's feff.inp, whose SHA-256 is sha, is the user's: written from
    // the Atoms area, or changed on disk since this program wrote it. A run of it keeps it
    // so in its record, and a later start keeps it as feff.inp.~N~ before replacing it.
    bool isUsersFile(const QString &sha) const { return fromArea || sha != writtenSha; }
    // The text the working directory's feff.inp was last written from: the area text of the
    // last writeFromArea(), while that file stands, else converterText.
    QString sourceText(const QString &converterText) const;
    // The SHA-256 of the feff.inp of the good run whose record a new start removed: the
    // converter may replace that file, which is no edit of the user's.
    void setRecordedSha(const QString &sha) { recordedSha = sha; }

private:
    void wrote(const QString &dir, const QByteArray &bytes);

    QString workDir;
    Log log;
    QTextCodec *codec = nullptr;
    bool writtenNow = false;
    bool fromArea = false;
    QString writtenSha;
    QString areaText;
    QString recordedSha;
};

#endif
