#ifndef CHIAVERAGE_H
#define CHIAVERAGE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The rows of one chi.dat: k, chi, and FEFF's mag and phase (chi = mag sin(phase)).
struct ChiColumns
{
    QVector<double> k, chi, mag, phase;
    // Every row had FEFF's mag and phase; without them mag is |chi| at a phase of +-pi/2.
    bool wave = true;

    // Rows left out for a value that is not a finite number; a file with any is not read.
    int notFinite = 0;
    bool openFailed = false;

    // The rows after the "k chi" heading, as ChiData reads them; false and why when the file
    // cannot be opened (openFailed), a value is not finite (notFinite), there are no rows or
    // k does not rise from row to row.
    bool read(const QString &path, QString *error);
};

// One FEFF run's chi(k) and its weight in the average.
struct WeightedChi
{
    QString name;
    double weight = 1;
    ChiColumns columns;
};

// The weighted average of the chi(k) of several FEFF runs of one structure, the weights
// taken over their sum. It lies on the k points of the first run within the range that
// every run covers; a run whose points differ is interpolated linearly, in its smooth mag
// and phase where it has them (chi itself oscillates too fast for it). chi is the
// weighted sum of the runs' chi; mag and phase are the modulus and (continuous) phase of
// the weighted sum of mag exp(i phase), so that chi = mag sin(phase) still holds.
class ChiAverage
{
public:
    // False and why when there is no run, the weights do not add up to a finite number
    // above 0, or the runs share no k range.
    bool compute(const QVector<WeightedChi> &runs, QString *error);
    const ChiColumns &result() const { return average; }
    // chi.dat as FEFF 6 writes it, under '#' lines that name the average's inputs with
    // their weights (and those missing from it).
    QByteArray fileText(const QString &title, const QStringList &missing = QStringList()) const;

private:
    QStringList names;
    QVector<double> weights;
    ChiColumns average;
};

#endif
