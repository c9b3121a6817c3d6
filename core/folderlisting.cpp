#include "folderlisting.h"

#include <QFile>
#include <QTextCodec>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>

namespace {

// A name as the log can show it: its bytes above 127 as \xNN.
QString escapedName(const QByteArray &name)
{
    QString shown;
    for (const char c : name) {
        if (uchar(c) < 0x80)
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\x") + QString::number(uchar(c), 16).toUpper();
    }
    return shown;
}

bool decodes(const QByteArray &name)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForLocale()->toUnicode(name.constData(), name.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

} // namespace

FolderListing FolderListing::of(const QString &dir, const QStringList &suffixes)
{
    FolderListing listing;
    DIR *folder = ::opendir(QFile::encodeName(dir).constData());
    if (!folder) {
        listing.error = QString::fromLocal8Bit(std::strerror(errno));
        return listing;
    }
    QList<QByteArray> suffixBytes;
    for (const QString &suffix : suffixes)
        suffixBytes << suffix.toLatin1().toLower();
    QStringList names;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(folder);
        if (!entry) {
            if (errno != 0)
                listing.error = QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        const QByteArray lower = name.toLower();
        if (std::none_of(suffixBytes.cbegin(), suffixBytes.cend(),
                [&lower](const QByteArray &suffix) { return lower.endsWith(suffix); }))
            continue;
        if (decodes(name))
            names << QFile::decodeName(name);
        else
            listing.notUtf8 << dir + QLatin1Char('/') + escapedName(name);
    }
    ::closedir(folder);
    if (!listing.error.isEmpty()) {
        listing.notUtf8.clear();
        return listing;
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    for (const QString &name : qAsConst(names))
        listing.entries << QFileInfo(dir + QLatin1Char('/') + name);
    listing.notUtf8.sort();
    return listing;
}
