#include "jobfiles.h"

#include <QCryptographicHash>
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

} // namespace

// By hand rather than with QSaveFile, which reports a full disk as "Unknown error".
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, bool *opened)
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
    // The new file takes the permissions a plain new file would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temporary.constData());
            return fail(code);
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(code);
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return fail(code);
    }
    return true;
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
