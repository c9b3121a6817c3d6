#ifndef FOLDERLISTING_H
#define FOLDERLISTING_H

#include <QFileInfoList>
#include <QString>
#include <QStringList>

// The entries of an input folder whose names end in one of the given suffixes (in any
// letter case; hidden ones left out), read with the system's own calls: QDir passes over a
// folder it cannot list, and a name that is not UTF-8, without a word.
struct FolderListing
{
    // The entries, sorted by name as QDir sorts them (ignoring case): FIFOs, devices and
    // broken links too, for the manager to name as no input.
    QFileInfoList entries;
    // The paths of entries whose names are not UTF-8, each byte of such a name above 127
    // written as \xNN: Qt can neither name nor open them.
    QStringList notUtf8;
    // Why the folder could not be listed (all of it); empty when it was.
    QString error;

    static FolderListing of(const QString &dir, const QStringList &suffixes);
};

#endif
