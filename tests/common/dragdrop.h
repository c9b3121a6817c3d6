// Delivers a drag entering the widget, then the drop, as a real drag does: Qt hands a
// drop only to the widget that accepted the drag's entry.
#ifndef DRAGDROP_H
#define DRAGDROP_H

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

inline void dragAndDrop(QWidget *target, const QMimeData *mime)
{
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

#endif
