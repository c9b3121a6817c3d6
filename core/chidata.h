#ifndef CHIDATA_H
#define CHIDATA_H

#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

// The rows of a chi.dat after its "k chi" heading (FEFF 8.5L and later write it as a
// comment, "#  k  chi  mag  phase @#"): k and chi and, where FEFF wrote them, mag and phase.
// The one reader of chi.dat files.
struct ChiRows
{
    QVector<double> k, chi, mag, phase;
    // Every row had FEFF's mag and phase; without them mag is |chi| at a phase of +-pi/2.
    bool wave = true;
    // Rows with a value that is not a finite number ("nan", "inf") in k or chi, or in mag
    // or phase when they are read; they are left out.
    int notFinite = 0;

    // withWave: mag and phase are read too.
    void readFrom(QIODevice &device, bool withWave);
};

// The k and chi(k) columns of one chi.dat, with their extremes.
class ChiData
{
public:
    ChiData();

    void reset();
    void read(const QString &path);
    // The columns after the "k chi" heading of an open text device.
    void readFrom(QIODevice &device);
    // The given points (k ascending, finite), as a reading of them; none: not valid.
    void setPoints(const QVector<double> &k, const QVector<double> &chi);

    double kMin() const { return valid ? minK : 0; }
    double kMax() const { return valid ? maxK : 20; }
    double chiMin() const { return valid ? minChi : -1; }
    double chiMax() const { return valid ? maxChi : 1; }

    static void updateRange(double x, double &min, double &max);
    // A line's words are the "k chi" heading after which the rows come; FEFF 8.5L and later
    // write it as a comment: "#  k  chi  mag  phase @#".
    static bool isHeading(const QStringList &fields);
    // Changes at every reset and reading, and no two readings of any ChiData share it:
    // what is computed from the data can be kept until it changes.
    quint64 generation() const { return readingNumber; }

    bool valid;
    QVector<double> kValues;
    QVector<double> chiValues;
    double minK;
    double maxK;
    double minChi;
    double maxChi;
    QString fileName;
    // What read() found besides the curve: rows left out for a value that is not finite,
    // and why the file could not be opened (empty when it was).
    int notFinite = 0;
    QString openError;

private:
    quint64 readingNumber = 0;
};

#endif
