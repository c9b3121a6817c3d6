#ifndef CHIDATA_H
#define CHIDATA_H

#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;

// The k and chi(k) columns of one chi.dat, with their extremes.
class ChiData
{
public:
    ChiData();

    void reset();
    void read(const QString &path);
    // The columns after the "k chi" heading of an open text device.
    void readFrom(QIODevice &device);

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

private:
    quint64 readingNumber = 0;
};

#endif
