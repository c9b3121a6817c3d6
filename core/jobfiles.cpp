#include "jobfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool writeAll(int fd, const QByteArray &bytes, int *code)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *code = n < 0 ? errno : ENOSPC;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

// mode: of the new file; -1 for what a plain new file would get.
bool writeAtomically(
    const QString &path, const QByteArray &bytes, QString *error, bool *opened, int mode)
{
    if (opened)
        *opened = false;
    auto fail = [error](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };
    QByteArray temporary = QFile::encodeName(path) + ".orbelin-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    if (opened)
        *opened = true;
    // The new file takes the permissions a plain new file would have, or those asked for.
    if (mode < 0) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = int(0666 & ~mask);
    }
    fchmod(fd, mode_t(mode));
    int code = 0;
    if (!writeAll(fd, bytes, &code)) {
        ::close(fd);
        ::unlink(temporary.constData());
        return fail(code);
    }
    if (::close(fd) != 0) {
        code = errno;
        ::unlink(temporary.constData());
        return fail(code);
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        code = errno;
        ::unlink(temporary.constData());
        return fail(code);
    }
    return true;
}

// The end of path's chain of symbolic links (which may not exist); through tells whether
// the chain passed through /proc or /dev/fd, whose links name open descriptors.
QString endOfLinks(const QString &path, bool *through)
{
    QString at = QFileInfo(path).absoluteFilePath();
    *through = false;
    for (int hops = 0; hops < 40; ++hops) {
        *through = *through || at.startsWith(QLatin1String("/proc/"))
            || at.startsWith(QLatin1String("/dev/fd/"));
        const QFileInfo info(at);
        if (!info.isSymLink())
            break;
        at = info.symLinkTarget();
    }
    return at;
}

// Opens what exists and is no regular file for writing, without waiting for a FIFO's
// reader.
int openDirectly(const QByteArray &name, int flags, int *code)
{
    const int fd = ::open(name.constData(), flags | O_WRONLY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        *code = errno;
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QString openError(int code)
{
    // A FIFO that no process reads.
    return code == ENXIO ? QStringLiteral("no process reads it") : systemError(code);
}

} // namespace

// By hand rather than with QSaveFile, which reports a full disk as "Unknown error".
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, bool *opened)
{
    return writeAtomically(path, bytes, error, opened, -1);
}

bool writeOutputFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    const bool exists = ::stat(name.constData(), &info) == 0;
    bool through = false;
    const QString target = endOfLinks(path, &through);
    if ((exists && !S_ISREG(info.st_mode)) || (exists && through)) {
        // A file reached through /proc or /dev/fd is what a descriptor writes to (standard
        // output sent to a file): the output goes after what is there.
        int code = 0;
        const int fd = openDirectly(name, S_ISREG(info.st_mode) ? O_APPEND : 0, &code);
        if (fd < 0 || !writeAll(fd, bytes, &code) || ::close(fd) != 0) {
            if (error)
                *error = openError(code ? code : errno);
            return false;
        }
        return true;
    }
    return writeAtomically(target, bytes, error, nullptr, exists ? int(info.st_mode & 07777) : -1);
}

int openOutputStream(const QString &path, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    bool through = false;
    endOfLinks(path, &through);
    const bool descriptor
        = through && ::stat(name.constData(), &info) == 0 && S_ISREG(info.st_mode);
    int code = 0;
    const int fd = openDirectly(name, descriptor ? O_APPEND : O_CREAT | O_TRUNC, &code);
    if (fd < 0 && error)
        *error = openError(code);
    return fd;
}

QString outputIdentity(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0)
        return QStringLiteral("%1:%2").arg(info.st_dev).arg(info.st_ino);
    bool through = false;
    const QString target = endOfLinks(path, &through);
    const QFileInfo end(target);
    const QString dir = end.absoluteDir().canonicalPath();
    return dir.isEmpty() ? end.absoluteFilePath() : dir + QLatin1Char('/') + end.fileName();
}

bool isWriteProtected(const QString &path)
{
    const QFileInfo info(path);
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.exists() && info.isFile() && !(info.permissions() & write);
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString fileSha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

QString numberedBackupName(const QString &path, int *number)
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("%1.~%2~").arg(path).arg(n);
        if (!QFileInfo::exists(name)) {
            if (number)
                *number = n;
            return name;
        }
    }
}
