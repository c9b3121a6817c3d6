#include "jobdelegate.h"

#include "joblistview.h"

#include <QPainter>

JobDelegate::JobDelegate(JobListView *listView)
    : QAbstractItemDelegate(listView)
    , view(listView)
{
}

// The editors, kept or in use, are the list's viewport's children and go with it.
JobDelegate::~JobDelegate() { delete rowPainter; }

Demeter *JobDelegate::painter() const
{
    if (!rowPainter) {
        rowPainter = new Demeter;
        // Every row is alike: one tells the heights and the width of all.
        rowPainter->setAreasShown(false, true);
        openNaturalHeight = rowPainter->sizeHint().height();
        rowPainter->setAreasShown(false, false);
        closedHeight = rowPainter->sizeHint().height();
        minimumWidth = rowPainter->minimumSizeHint().width();
    }
    return rowPainter;
}

int JobDelegate::lineHeight() const
{
    painter();
    return closedHeight;
}

int JobDelegate::openHeight() const
{
    painter();
    return openNaturalHeight;
}

int JobDelegate::rowWidth() const
{
    painter();
    return minimumWidth;
}

void JobDelegate::paint(
    QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // A row with its editor shows the editor; an open row without one is laid out anew
    // at once, with its editor.
    if (view->indexWidget(index))
        return;
    Demeter *row = painter();
    row->showRow(index);
    row->setMarked(view->isMarked(index));
    row->resize(option.rect.width(), closedHeight);
    row->render(p, p->deviceTransform().map(option.rect.topLeft()), QRegion(),
        QWidget::DrawWindowBackground | QWidget::DrawChildren);
    // Unbound, the painter follows no job between paints.
    row->showRow(QModelIndex());
}

QSize JobDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const
{
    return QSize(rowWidth(), view->rowHeight(index) + spacing);
}

QWidget *JobDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    Demeter *row = nullptr;
    if (!freeRows.isEmpty()) {
        row = freeRows.takeLast();
        if (row->parentWidget() != parent)
            row->setParent(parent);
    } else {
        row = new Demeter(parent);
        // Editors are made on demand, hence in a const function; the delegate relays.
        auto *self = const_cast<JobDelegate *>(this);
        connect(row, &Demeter::areaToggled, self,
            [self, row](Demeter::Area area, bool on) { emit self->areaToggled(row, area, on); });
    }
    return row;
}

void JobDelegate::destroyEditor(QWidget *editor, const QModelIndex &) const
{
    auto *row = static_cast<Demeter *>(editor);
    row->hide();
    // What the user typed into its Atoms area goes to its model row now.
    row->showRow(QModelIndex());
    row->setMarked(false);
    freeRows.append(row);
}

void JobDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *row = static_cast<Demeter *>(editor);
    row->showRow(index);
    view->showRowState(row, index);
}

void JobDelegate::updateEditorGeometry(
    QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const QRect geometry = option.rect.adjusted(0, 0, 0, -spacing);
    if (editor->geometry() != geometry)
        editor->setGeometry(geometry);
}
