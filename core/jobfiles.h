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
// Writes bytes to an output the user named (-plot, -export, the plot window's Save...): a
// regular file, also one reached through symbolic links, is replaced atomically at the
// links' end and keeps its permissions; anything else (a device, a FIFO, /dev/stdout) is
// written directly, a file reached through /proc or /dev/fd at its end. A FIFO without a
// reader is an error rather than a wait. False and the cause.
bool writeOutputFile(const QString &path, const QByteArray &bytes, QString *error);
// Opens an output that is written as it goes (-joblog) as writeOutputFile() writes what
// is no regular file: directly, through links, truncated (at its end when reached through
// /proc or /dev/fd). The descriptor, or -1 and the cause.
int openOutputStream(const QString &path, QString *error);
// What an output names in the end, to tell two outputs of one file apart: the device and
// inode of what exists (through links), else the absolute path at the end of its links.
QString outputIdentity(const QString &path);

// A file whose owner took away every write permission: the program does not replace it.
bool isWriteProtected(const QString &path);
// The SHA-256 of bytes or of a file's content, as hex; empty when the file cannot be read.
QString sha256Hex(const QByteArray &bytes);
QString fileSha256(const QString &path);
// The first free numbered name for a copy of path, as cp --backup=numbered makes them:
// path.~1~, path.~2~, ...
QString numberedBackupName(const QString &path, int *number = nullptr);

#endif
