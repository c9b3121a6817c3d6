#include "jobfiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, bool *opened)
{
    QSaveFile file(path);
    if (opened)
        *opened = false;
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (opened)
        *opened = true;
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
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
