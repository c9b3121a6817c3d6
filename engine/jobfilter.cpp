#include "jobfilter.h"

JobFilter::JobFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    // A job that changes phase comes into or leaves a list of one phase at once.
    setFilterRole(JobModel::PhaseRole);
    setDynamicSortFilter(true);
}

void JobFilter::setJobModel(JobModel *model)
{
    disconnect(changes);
    jobs = model;
    setSourceModel(model);
    if (jobs)
        changes = connect(jobs, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QVector<int> &roles) {
                jobsChanged(roles);
            });
}

// A new fit moves every rank below it: the rows of the ranking are sorted again at once,
// where the proxy's own resorting moves the changed rows one at a time (quadratic in a
// list of thousands).
void JobFilter::jobsChanged(const QVector<int> &roles)
{
    if (sortOrder == Order::Fit && roles.contains(JobModel::RankRole))
        invalidate();
}

// A new filter rebuilds the rows at once: a view then lays itself out once, where rows
// taken out range by range would cost it one change per range.
void JobFilter::setNamePart(const QString &namePart)
{
    if (namePart == part)
        return;
    part = namePart;
    invalidate();
}

void JobFilter::setPhase(int phase)
{
    if (phase == onlyPhase)
        return;
    onlyPhase = phase;
    invalidate();
}

void JobFilter::setOrder(Order order)
{
    if (order == sortOrder)
        return;
    sortOrder = order;
    // A change of this role moves the row; the fit's rows move all together (jobsChanged).
    setSortRole(order == Order::Phase ? int(JobModel::PhaseRole)
            : order == Order::Fit     ? int(JobModel::JobRole)
                                      : int(Qt::DisplayRole));
    sort(order == Order::Input ? -1 : 0);
}

int JobFilter::jobRow(int row) const { return mapToSource(index(row, 0)).row(); }

int JobFilter::rowOfJob(int jobRow) const
{
    if (!jobs)
        return -1;
    return mapFromSource(jobs->index(jobRow)).row();
}

bool JobFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const Job *job = jobs ? jobs->job(sourceRow) : nullptr;
    if (!job)
        return false;
    if (onlyPhase >= 0 && int(JobModel::phase(job)) != onlyPhase)
        return false;
    return part.isEmpty() || jobs->name(sourceRow).contains(part, Qt::CaseInsensitive);
}

bool JobFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const Job *a = jobs->job(left.row());
    const Job *b = jobs->job(right.row());
    if (sortOrder == Order::Name) {
        const int byName
            = jobs->name(left.row()).compare(jobs->name(right.row()), Qt::CaseInsensitive);
        if (byName != 0)
            return byName < 0;
    } else if (sortOrder == Order::Phase) {
        const JobModel::Phase pa = JobModel::phase(a), pb = JobModel::phase(b);
        if (pa != pb)
            return pa < pb;
    } else if (sortOrder == Order::Fit) {
        const int ra = jobs->rank(left.row()), rb = jobs->rank(right.row());
        if (ra != rb)
            return rb == 0 || (ra != 0 && ra < rb);
    }
    return left.row() < right.row();
}
