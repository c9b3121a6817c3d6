#include "workdirs.h"

#include "runsettings.h"

#include <QFileInfo>

QString WorkDirs::claim(const QString &resFiles, const QString &name)
{
    // A file of the user's with the name is no working directory; it is left alone.
    auto unusable = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() && !info.isDir();
    };
    QString dir = joinPath(resFiles, name);
    for (int n = 2; claimed.contains(dir) || unusable(dir); ++n)
        dir = joinPath(resFiles, name + "_" + QString::number(n));
    claimed.insert(dir);
    return dir;
}
