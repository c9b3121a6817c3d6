#include "inputoptions.h"

#include "jobfiles.h"
#include "runsettings.h"
#include "textcodec.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A line of options is short; anything larger is no such line.
const qint64 largestOptionsBytes = 64 * 1024;

QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }
} // namespace

QString InputOptions::pathFor(const QString &inputPath)
{
    return inputPath + QStringLiteral(".args");
}

// Opened without following a link, and checked on the open file: a link to a private file
// must not put that file's content on a command line (where every user sees it in ps) or in
// the log, nor may a FIFO block the read.
InputOptions InputOptions::read(const QString &inputPath)
{
    InputOptions options;
    options.path = pathFor(inputPath);
    const QByteArray name = QFile::encodeName(options.path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP)
            options.error = demeterTr("a symbolic link, which is not followed");
        else if (errno != ENOENT)
            options.error = QString::fromLocal8Bit(std::strerror(errno));
        return options;
    }
    QFile file;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        options.error = demeterTr("not a regular file");
    else if (info.st_size > largestOptionsBytes)
        options.error = demeterTr("larger than 64 kB");
    else if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        options.error = file.errorString();
    if (!file.isOpen())
        ::close(fd);
    if (!options.error.isEmpty())
        return options;
    const QByteArray bytes = file.read(largestOptionsBytes + 1);
    // One line of options; a file of several lines is no such file.
    const QStringList lines = codecOfUserText(bytes)->toUnicode(bytes).split(QLatin1Char('\n'));
    QStringList words;
    for (const QString &line : lines) {
        const QStringList lineWords = splitArgs(line);
        if (lineWords.isEmpty())
            continue;
        if (!words.isEmpty()) {
            options.error = demeterTr("more than one line of options");
            return options;
        }
        words = lineWords;
    }
    options.words = words;
    options.line = words.join(QLatin1Char(' '));
    return options;
}

bool InputOptions::save(const QString &inputPath, const QString &line, QString *error)
{
    const QString path = pathFor(inputPath);
    const QString words = splitArgs(line).join(QLatin1Char(' '));
    if (words.isEmpty()) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *error = file.errorString();
        return false;
    }
    // Program arguments are in the system's encoding, UTF-8.
    return writeFileAtomically(path, words.toUtf8() + '\n', error);
}
