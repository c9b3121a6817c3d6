#include "droparea.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

DropArea::DropArea(QWidget *parent)
    : QLineEdit(parent)
{
    setAcceptDrops(true);
}

QString DropArea::localName(const QUrl &url)
{
    QString path = url.path(QUrl::FullyDecoded);
    if (path.size() >= 3 && path.at(2) == QLatin1Char(':') && path.at(0) == QLatin1Char('/'))
        path.remove(0, 1);
    return path;
}

void DropArea::dragEnterEvent(QDragEnterEvent *event)
{
    event->acceptProposedAction();
}

void DropArea::dropEvent(QDropEvent *event)
{
    QStringList names;
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl &url : urls)
        names << localName(url);
    emit dropped(names);
}
