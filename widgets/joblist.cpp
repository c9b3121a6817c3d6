#include "joblist.h"

#include "jobfilter.h"
#include "joblistview.h"
#include "jobmodel.h"

#include <QVBoxLayout>

JobList::JobList(JobModel *model, QWidget *parent)
    : QWidget(parent)
    , jobs(model)
    , rows(new JobFilter(this))
{
    rows->setJobModel(jobs);
    list = new JobListView(rows, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(list);
}

void JobList::addJob(Job *job)
{
    pending.append(job);
    if (pending.size() == 1)
        QMetaObject::invokeMethod(this, &JobList::addPendingJobs, Qt::QueuedConnection);
}

void JobList::addPendingJobs()
{
    if (pending.isEmpty())
        return;
    const QVector<Job *> added = std::exchange(pending, {});
    jobs->addJobs(added);
}

int JobList::count()
{
    addPendingJobs();
    return jobs->rowCount();
}

Demeter *JobList::rowFor(const Job *job)
{
    addPendingJobs();
    return list->rowFor(jobs->row(job));
}

QVector<Demeter *> JobList::rowsInUse()
{
    addPendingJobs();
    return list->rowsInUse();
}

void JobList::markJob(int index)
{
    addPendingJobs();
    list->markJob(index);
}
