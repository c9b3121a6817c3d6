#ifndef MEASUREDSPECTRUM_H
#define MEASUREDSPECTRUM_H

#include "background.h"
#include "chidata.h"

#include <QString>
#include <QStringList>

// How a measured spectrum is read and its background removed: the texts of the options
// -columns ("1,3/4,ln"), -bkg ("rbkg,kweight") and -e0 (eV), or of the plot window's dialog;
// empty texts keep the defaults.
struct MeasuredOptions
{
    QString columns;
    QString bkg;
    QString e0;

    // The options as the science takes them; false and a message naming the option for a
    // value it does not take.
    bool parse(xafs::ReadOptions *read, xafs::BkgParams *bkg, QString *error) const;
};

// A measured spectrum as the program shows and compares it: its chi(k) on the 0.05 1/A
// grid (derived from mu(E), or read as chi(k)), with where it came from and what the
// background removal found.
class MeasuredSpectrum
{
public:
    // Reads path ("FILE.prj#LABEL" names a group of an Athena project) and derives its
    // chi(k); false, keeping what was loaded before, with a message that names the file
    // and the reason when it gives none.
    bool load(const QString &path, const MeasuredOptions &options, QString *error);
    bool isLoaded() const { return curve.valid; }

    QString path() const { return filePath; }
    // The file's name, as the legend and the hover readout name the curve.
    QString name() const { return fileName; }
    const ChiData &chi() const { return curve; }
    // The absorbing element and edge that the file names (XDI), else empty.
    QString element() const { return QString::fromStdString(spectrum.element); }
    QString edge() const { return QString::fromStdString(spectrum.edge); }
    // An Athena project's groups and the one read.
    QStringList groups() const;
    QString group() const { return QString::fromStdString(spectrum.group); }
    bool fromMu() const { return derived.kind == xafs::Spectrum::Kind::Mu; }
    const xafs::Background &background() const { return derived.background; }
    // One line on what was loaded: the file, E0 and the edge step of mu(E), or that it is
    // chi(k) as read.
    QString summary() const;
    // The derived chi(k) as a file: '#' lines with the file, E0, edge step, Rbkg, k-weight
    // and knots, then k and chi on the 0.05 1/A grid.
    QByteArray chiFileText() const;

private:
    QString filePath;
    QString fileName;
    xafs::Spectrum spectrum;
    xafs::MeasuredChi derived;
    ChiData curve;
};

#endif
