#ifndef JOBDELEGATE_H
#define JOBDELEGATE_H

#include "demeter.h"

#include <QAbstractItemDelegate>
#include <QVector>

class JobListView;

// The rows of the job list: a row's editor is a Demeter, which the list opens on the rows
// in view and on the open one; a row without one (while the list scrolls, say) is painted
// as a Demeter of its job would show it. Editors are kept for reuse: scrolling through
// ten thousand rows costs what a screenful costs.
class JobDelegate : public QAbstractItemDelegate
{
    Q_OBJECT

public:
    explicit JobDelegate(JobListView *view);
    ~JobDelegate() override;

    // The space below every row, as the stacked rows had it.
    static constexpr int spacing = 3;
    // A row's height without its output areas, and with one of them at its own height;
    // the width a row needs.
    int lineHeight() const;
    int openHeight() const;
    int rowWidth() const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

signals:
    // The user ticked or cleared a box of a row's output area.
    void areaToggled(Demeter *row, Demeter::Area area, bool on);

private:
    // A row never shown, which paints the rows that have no editor and tells the sizes;
    // made when the first row needs it.
    Demeter *painter() const;

    JobListView *view;
    mutable Demeter *rowPainter = nullptr;
    mutable QVector<Demeter *> freeRows;
    mutable int closedHeight = 0;
    mutable int openNaturalHeight = 0;
    mutable int minimumWidth = 0;
};

#endif
