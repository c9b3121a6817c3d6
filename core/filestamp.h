#ifndef FILESTAMP_H
#define FILESTAMP_H

#include <QDateTime>
#include <QFileInfo>

// What a file looked like at one moment, to tell whether a program rewrote it since.
struct FileStamp
{
    bool exists = false;
    QDateTime modified;
    qint64 size = -1;

    static FileStamp of(const QString &path)
    {
        const QFileInfo info(path);
        FileStamp stamp;
        stamp.exists = info.exists();
        if (stamp.exists) {
            stamp.modified = info.lastModified();
            stamp.size = info.size();
        }
        return stamp;
    }

    bool operator==(const FileStamp &other) const
    {
        return exists == other.exists && modified == other.modified && size == other.size;
    }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

#endif
