#include "resultslock.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const char *const lockFileName = ".orbelin.lock";
} // namespace

ResultsLock::~ResultsLock()
{
    if (fd >= 0)
        ::close(fd);
}

ResultsLock::Result ResultsLock::take(const QString &resultsDir)
{
    const QByteArray path = QFile::encodeName(QDir(resultsDir).filePath(lockFileName));
    fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return Result::CannotWrite;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char pid[32] = {};
        const ssize_t n = pread(fd, pid, sizeof pid - 1, 0);
        ::close(fd);
        fd = -1;
        holderPid = QString::fromLatin1(pid, n > 0 ? int(n) : 0).trimmed();
        return Result::InUse;
    }
    const QByteArray own = QByteArray::number(qint64(getpid())) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, own.constData(), size_t(own.size()), 0) < 0)
        qDebug() << "Can not write the lock file" << path;
    return Result::Taken;
}
