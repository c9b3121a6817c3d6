#include "joblist.h"

#include "job.h"
#include "jobmodel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

namespace {
// The space between two rows, as the job list's grid had it.
const int rowSpacing = 3;
} // namespace

JobList::JobList(QScrollArea *area, JobModel *jobModel, QWidget *parent)
    : QWidget(parent)
    , scrollArea(area)
    , model(jobModel)
{
    scrollArea->viewport()->installEventFilter(this);
    connect(scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, &JobList::layoutRows);
}

void JobList::addJob(Job *job)
{
    // The list is scrolled to the end of the rows already there, as before a new row.
    scrollArea->verticalScrollBar()->setValue(scrollArea->verticalScrollBar()->maximum());
    indexOf.insert(job, jobs.size());
    jobs.append(job);
    // A new row takes the check from the one that had it, and shows its FEFF output.
    if (Demeter *previous = bound.value(openIndex))
        previous->setAreasShown(false, false);
    openIndex = jobs.size() - 1;
    openArea = Demeter::Area::Feff;
    if (rows.isEmpty())
        freeRows.append(makeRow());
    scheduleLayout();
}

Demeter *JobList::makeRow()
{
    auto *row = new Demeter(this);
    row->hide();
    if (rows.isEmpty()) {
        // Every row is alike: the first tells the heights and the width of all.
        row->setAreasShown(false, true);
        openNatural = row->sizeHint().height();
        openHeight = openNatural;
        row->setAreasShown(false, false);
        lineHeight = row->sizeHint().height();
        minimumWidth = row->minimumSizeHint().width();
    }
    connect(row, &Demeter::areaToggled, this,
        [this, row](Demeter::Area area, bool on) { areaToggled(row, area, on); });
    rows.append(row);
    return row;
}

void JobList::areaToggled(Demeter *row, Demeter::Area area, bool on)
{
    const int index = indexOf.value(row->job(), -1);
    if (index < 0)
        return;
    if (!on) {
        // As in an exclusive group, the one ticked box cannot be cleared by a click.
        if (index == openIndex && area == openArea)
            row->setAreasShown(area == Demeter::Area::Atoms, area == Demeter::Area::Feff);
        return;
    }
    if (index != openIndex)
        if (Demeter *previous = bound.value(openIndex))
            previous->setAreasShown(false, false);
    openIndex = index;
    openArea = area;
    row->setAreasShown(area == Demeter::Area::Atoms, area == Demeter::Area::Feff);
    scheduleLayout();
}

int JobList::rowTop(int index) const
{
    int top = index * (lineHeight + rowSpacing);
    if (openIndex >= 0 && index > openIndex)
        top += openHeight - lineHeight;
    return top;
}

int JobList::rowHeight(int index) const { return index == openIndex ? openHeight : lineHeight; }

// The height the rows need, with an open area at its own height.
int JobList::naturalHeight() const
{
    if (jobs.isEmpty())
        return 0;
    const int areas = openIndex >= 0 ? openNatural - lineHeight : 0;
    return jobs.size() * lineHeight + (jobs.size() - 1) * rowSpacing + areas;
}

int JobList::indexAt(int y) const
{
    const int pitch = lineHeight + rowSpacing;
    if (pitch <= 0 || y <= 0)
        return 0;
    int index;
    if (openIndex < 0 || y < rowTop(openIndex))
        index = y / pitch;
    else if (y < rowTop(openIndex) + openHeight + rowSpacing)
        index = openIndex;
    else
        index = openIndex + 1 + (y - rowTop(openIndex) - openHeight - rowSpacing) / pitch;
    return qMin(index, jobs.size() - 1);
}

QSize JobList::sizeHint() const { return QSize(minimumWidth, naturalHeight()); }

QSize JobList::minimumSizeHint() const { return sizeHint(); }

// Geometry follows the list at the next turn of the event loop: a burst of ten thousand
// new jobs lays the list out once.
void JobList::scheduleLayout()
{
    if (layoutPending)
        return;
    layoutPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!layoutPending)
                return;
            layoutPending = false;
            updateGeometry();
            layoutRows();
        },
        Qt::QueuedConnection);
}

// The list's size and the scroll area's range brought up to date at once.
void JobList::syncGeometry()
{
    layoutPending = false;
    updateGeometry();
    QWidget *content = scrollArea->widget();
    if (content && content->layout())
        content->layout()->activate();
    QEvent request(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(scrollArea, &request);
    if (content && content->layout())
        content->layout()->activate();
    layoutRows();
}

bool JobList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == scrollArea->viewport() && event->type() == QEvent::Resize)
        scheduleLayout();
    return QWidget::eventFilter(watched, event);
}

void JobList::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutRows();
}

void JobList::layoutRows()
{
    if (jobs.isEmpty() || rows.isEmpty())
        return;
    // An open area takes the room the rows leave in a tall window, as the expanding text
    // area of a stacked row would.
    openHeight = openNatural + qMax(0, height() - naturalHeight());
    const QWidget *content = scrollArea->widget() ? scrollArea->widget() : this;
    const int top = scrollArea->verticalScrollBar()->value() - mapTo(content, QPoint(0, 0)).y();
    const int bottom = top + scrollArea->viewport()->height();
    const int first = indexAt(top);
    const int last = indexAt(bottom);
    auto wanted = [&](int index) {
        return (index >= first && index <= last) || index == openIndex || index == pinnedIndex;
    };

    for (auto it = bound.begin(); it != bound.end();) {
        if (wanted(it.key())) {
            ++it;
        } else {
            it.value()->hide();
            freeRows.append(it.value());
            it = bound.erase(it);
        }
    }
    auto bindIfWanted = [&](int index) {
        if (index < 0 || index >= jobs.size() || bound.contains(index))
            return;
        bindRow(index, freeRows.isEmpty() ? makeRow() : freeRows.takeLast());
    };
    for (int index = first; index <= last; ++index)
        bindIfWanted(index);
    bindIfWanted(openIndex);
    bindIfWanted(pinnedIndex);

    for (auto it = bound.cbegin(); it != bound.cend(); ++it) {
        const QRect geometry(0, rowTop(it.key()), width(), rowHeight(it.key()));
        Demeter *row = it.value();
        if (row->geometry() != geometry)
            row->setGeometry(geometry);
        if (row->isHidden())
            row->show();
    }
}

void JobList::bindRow(int index, Demeter *row)
{
    row->showRow(model->index(model->row(jobs.at(index))));
    row->setMarked(index == markedIndex);
    row->setAreasShown(index == openIndex && openArea == Demeter::Area::Atoms,
        index == openIndex && openArea == Demeter::Area::Feff);
    bound.insert(index, row);
}

Demeter *JobList::rowFor(const Job *job)
{
    const int index = indexOf.value(job, -1);
    if (index < 0)
        return nullptr;
    syncGeometry();
    pinnedIndex = index;
    const int y
        = mapTo(scrollArea->widget() ? scrollArea->widget() : this, QPoint(0, rowTop(index))).y();
    scrollArea->ensureVisible(0, y + rowHeight(index) / 2, 0, rowHeight(index) / 2);
    layoutRows();
    return bound.value(index);
}

void JobList::markJob(int index)
{
    if (index < 0 || index >= jobs.size())
        return;
    if (Demeter *previous = bound.value(markedIndex))
        previous->setMarked(false);
    markedIndex = index;
    if (Demeter *row = rowFor(jobs.at(index)))
        row->setMarked(true);
}

QVector<Demeter *> JobList::rowsInUse() const
{
    QList<int> indexes = bound.keys();
    std::sort(indexes.begin(), indexes.end());
    QVector<Demeter *> inUse;
    for (int index : indexes)
        inUse.append(bound.value(index));
    return inUse;
}
