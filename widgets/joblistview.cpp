#include "joblistview.h"

#include "jobdelegate.h"
#include "jobfilter.h"

#include <QScrollBar>
#include <algorithm>

JobListView::JobListView(JobFilter *filter, QWidget *parent)
    : QListView(parent)
    , rows(filter)
    , jobs(filter->jobModel())
    , delegate(new JobDelegate(this))
{
    setItemDelegate(delegate);
    setModel(rows);
    setUniformItemSizes(false);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollMode(ScrollPerPixel);
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    // The rows stand on the window's background, as stacked rows did.
    viewport()->setBackgroundRole(QPalette::Window);
    connect(delegate, &JobDelegate::areaToggled, this, &JobListView::areaToggled);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &JobListView::syncEditors);
    connect(jobs, &QAbstractItemModel::rowsAboutToBeInserted, this,
        [this](const QModelIndex &, int, int last) { jobsToCome(last); });
    connect(jobs, &QAbstractItemModel::rowsInserted, this, &JobListView::jobsAdded);
}

// The last new row takes the open area from the one that had it and shows its FEFF
// output: it is open before the rows come, so that the list lays itself out once for both.
// A list scrolled to its end stays there as jobs come.
void JobListView::jobsToCome(int last)
{
    followEnd = verticalScrollBar()->value() >= verticalScrollBar()->maximum();
    openRow = last;
    openArea = Demeter::Area::Feff;
}

void JobListView::jobsAdded()
{
    showStateOnEditors();
    if (followEnd)
        scrollToBottom();
}

int JobListView::jobRowOf(const QModelIndex &index) const
{
    return index.isValid() ? rows->mapToSource(index).row() : -1;
}

bool JobListView::isOpen(const QModelIndex &index) const
{
    return openRow >= 0 && jobRowOf(index) == openRow;
}

bool JobListView::isMarked(const QModelIndex &index) const
{
    return markedRow >= 0 && jobRowOf(index) == markedRow;
}

int JobListView::rowHeight(const QModelIndex &index) const
{
    return isOpen(index) ? delegate->openHeight() + openRoom : delegate->lineHeight();
}

int JobListView::openRowRoom() const
{
    if (openRow < 0 || rows->rowOfJob(openRow) < 0)
        return 0;
    const int natural = rows->rowCount() * (delegate->lineHeight() + JobDelegate::spacing)
        + delegate->openHeight() - delegate->lineHeight();
    return qMax(0, viewport()->height() - natural);
}

void JobListView::doItemsLayout()
{
    openRoom = openRowRoom();
    QListView::doItemsLayout();
}

void JobListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    if (openRowRoom() != openRoom)
        scheduleDelayedItemsLayout();
}

void JobListView::updateGeometries()
{
    QListView::updateGeometries();
    syncEditors();
}

void JobListView::showRowState(Demeter *row, const QModelIndex &index) const
{
    const bool open = isOpen(index);
    const bool atoms = open && openArea == Demeter::Area::Atoms;
    const bool feff = open && openArea == Demeter::Area::Feff;
    if (row->isAreaShown(Demeter::Area::Atoms) != atoms
        || row->isAreaShown(Demeter::Area::Feff) != feff)
        row->setAreasShown(atoms, feff);
    row->setMarked(isMarked(index));
}

void JobListView::showStateOnEditors()
{
    for (const QPersistentModelIndex &index : qAsConst(editorRows))
        if (auto *row = qobject_cast<Demeter *>(indexWidget(index)))
            showRowState(row, index);
}

// The rows in view, the open one and the one asked for have editors; the others give
// theirs back.
void JobListView::syncEditors()
{
    if (syncing)
        return;
    syncing = true;
    QVector<int> wanted;
    const int count = rows->rowCount();
    if (count > 0) {
        const QModelIndex top = indexAt(QPoint(0, 0));
        const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
        const int first = top.isValid() ? top.row() : 0;
        const int last = bottom.isValid() ? bottom.row() : count - 1;
        for (int row = first; row <= last; ++row)
            wanted.append(row);
        for (int jobRow : { openRow, pinnedRow }) {
            const int row = jobRow >= 0 ? rows->rowOfJob(jobRow) : -1;
            if (row >= 0 && (row < first || row > last) && !wanted.contains(row))
                wanted.append(row);
        }
    }
    QVector<QPersistentModelIndex> kept;
    for (const QPersistentModelIndex &index : qAsConst(editorRows)) {
        if (!index.isValid())
            continue; // the view gave it back when its row went
        if (wanted.removeOne(index.row()))
            kept.append(index);
        else
            closePersistentEditor(index);
    }
    for (int row : qAsConst(wanted)) {
        const QModelIndex index = rows->index(row, 0);
        openPersistentEditor(index);
        kept.append(index);
    }
    editorRows = kept;
    syncing = false;
}

void JobListView::openJob(int jobRow, Demeter::Area area)
{
    if (jobRow == openRow && area == openArea)
        return;
    openRow = jobRow;
    openArea = area;
    showStateOnEditors();
    scheduleDelayedItemsLayout();
}

void JobListView::areaToggled(Demeter *row, Demeter::Area area, bool on)
{
    const int jobRow = jobs->row(row->job());
    if (jobRow < 0)
        return;
    if (!on) {
        // As in an exclusive group, the one ticked box cannot be cleared by a click.
        if (jobRow == openRow && area == openArea)
            row->setAreasShown(area == Demeter::Area::Atoms, area == Demeter::Area::Feff);
        return;
    }
    openJob(jobRow, area);
}

Demeter *JobListView::rowFor(int jobRow)
{
    const int row = rows->rowOfJob(jobRow);
    if (row < 0)
        return nullptr;
    pinnedRow = jobRow;
    const QModelIndex index = rows->index(row, 0);
    scrollTo(index);
    syncEditors();
    return qobject_cast<Demeter *>(indexWidget(index));
}

void JobListView::markJob(int jobRow)
{
    if (jobRow < 0 || jobRow >= jobs->rowCount())
        return;
    markedRow = jobRow;
    rowFor(jobRow);
    showStateOnEditors();
    viewport()->update();
}

QVector<Demeter *> JobListView::rowsInUse() const
{
    QVector<Demeter *> inUse;
    for (const QPersistentModelIndex &index : editorRows)
        if (auto *row = qobject_cast<Demeter *>(indexWidget(index)))
            inUse.append(row);
    std::sort(inUse.begin(), inUse.end(),
        [](const Demeter *a, const Demeter *b) { return a->y() < b->y(); });
    return inUse;
}
