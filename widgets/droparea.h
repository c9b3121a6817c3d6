#ifndef DROPAREA_H
#define DROPAREA_H

#include <QLineEdit>
#include <QStringList>
#include <QUrl>

// A field that takes dropped files and reports their local names.
class DropArea : public QLineEdit
{
    Q_OBJECT

public:
    explicit DropArea(QWidget *parent = nullptr);

    // The local file name of a dropped URL: its decoded path, with the leading "/"
    // of a Windows drive path ("/D:/x") removed.
    static QString localName(const QUrl &url);

signals:
    void dropped(const QStringList &names);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};

#endif
