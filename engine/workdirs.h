#ifndef WORKDIRS_H
#define WORKDIRS_H

#include <QSet>
#include <QString>

// The working directories that the jobs of one manager have claimed. Jobs of one run never
// share one: a second input with the same base name (Cu.cif and Cu.inp, or one file
// dropped twice) works in Cu_2, so that the FEFF runs cannot overwrite each other's files.
// A later run of the program reuses Cu.
class WorkDirs
{
public:
    QString claim(const QString &resFiles, const QString &baseName);

private:
    QSet<QString> claimed;
};

#endif
