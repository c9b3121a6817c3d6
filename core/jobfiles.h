#ifndef JOBFILES_H
#define JOBFILES_H

#include <QByteArray>
#include <QString>

// The largest input file a job reads (and the converter takes): structure and FEFF
// input files are kilobytes; a device or a runaway file must not exhaust the memory.
constexpr qint64 largestInputBytes = qint64(64) << 20;

// Writes bytes to path through a temporary file renamed into place, so that a reader
// never sees half a file; false and the cause (as "No space left on device") when
// creating, writing, closing or renaming fails. opened tells whether the temporary file
// could be made at all.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error,
                         bool *opened = nullptr);
// A file whose owner took away every write permission: the program does not replace it.
bool isWriteProtected(const QString &path);
// The SHA-256 of bytes or of a file's content, as hex; empty when the file cannot be read.
QString sha256Hex(const QByteArray &bytes);
QString fileSha256(const QString &path);
// The first free numbered name for a copy of path, as cp --backup=numbered makes them:
// path.~1~, path.~2~, ...
QString numberedBackupName(const QString &path, int *number = nullptr);

#endif
