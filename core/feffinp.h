#ifndef FEFFINP_H
#define FEFFINP_H

#include <QString>
#include <QStringList>
#include <QVector>

// Atoms' output begins the FEFF input proper with this marker; what stands before it
// are Atoms' own messages.
extern const QString feffInpMarker;
// Stands in ResAtoms above a FEFF input that was copied rather than made by Atoms.
extern const QString copiedHeaderLine;

// Where the FEFF input begins in a converter's output: the first line that starts with the
// marker (a marker inside a line, as in the converter's usage text, does not count); -1
// for none.
int markerOffset(const QByteArray &output);
int markerOffset(const QString &text);
// The text from the first marker on, or the whole text when it has none.
QString textFromMarker(const QString &text);
// Removes the "feff*.dat" files (any letter case) of dir; other files stay.
void removeFeffDatFiles(const QString &dir);
// Lines of FEFF's output that a user must not miss: fatal errors (FEFF 6 still exits
// with 0), a path list cut short for a large cluster, a launcher's error lines and the
// Fortran runtime's ("At line 123 of file ...", "Fortran runtime error: ...");
// the first 20, then a count of the rest.
QStringList feffTroubleLines(const QString &output);

// Breaks runs longer than width characters without a line break, for display; column
// carries the length of the unfinished last line from one piece of output to the next.
QString breakLongLines(const QString &text, int width, int *column);

// The same for output that arrives in pieces, which may split lines. A line that comes
// again is counted, not repeated: "... TWO ATOMS VERY CLOSE TOGETHER (17 times)".
class TroubleLines
{
public:
    void add(const QString &output);
    // The lines found, the last one unfinished or not; starts afresh.
    QStringList finish();

private:
    void scan(const QStringRef &line);

    QString partial;
    QStringList found;
    QVector<int> counts;
    int more = 0;
};

// Process output as the per-line reading gives it: each line (up to and including
// its line break) is decoded as UTF-8 up to its first zero byte.
QString decodeOutputLines(const QByteArray &bytes);

#endif
