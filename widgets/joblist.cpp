#include "joblist.h"

#include "jobfilter.h"
#include "joblistview.h"
#include "jobmodel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// The list is the main window's: its texts are in the window's translation context.
QString guiTr(const char *text) { return QCoreApplication::translate("Gui", text); }

} // namespace

JobList::JobList(JobModel *model, QWidget *parent)
    : QWidget(parent)
    , jobs(model)
    , rows(new JobFilter(this))
{
    rows->setJobModel(jobs);
    list = new JobListView(rows, this);
    // The list scrolls itself: it takes whatever height the window leaves it.
    list->setMinimumHeight(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    makeChoiceLine();
    layout->addWidget(list);
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(rows, signal, this, &JobList::showCount);
    connect(rows, &QAbstractItemModel::layoutChanged, this, &JobList::showCount);
    connect(rows, &QAbstractItemModel::modelReset, this, &JobList::showCount);
    showCount();
}

void JobList::makeChoiceLine()
{
    auto *line = new QHBoxLayout;
    line->setSpacing(3);
    namePart = new QLineEdit(this);
    namePart->setObjectName("JobFilter");
    namePart->setPlaceholderText(guiTr("Part of the input name"));
    namePart->setClearButtonEnabled(true);
    connect(namePart, &QLineEdit::textChanged, rows, &JobFilter::setNamePart);

    phaseChoice = new QComboBox(this);
    phaseChoice->setObjectName("JobState");
    phaseChoice->setToolTip(guiTr("Show the jobs in this state"));
    phaseChoice->addItem(guiTr("All"), -1);
    using Phase = JobModel::Phase;
    const std::pair<Phase, const char *> phases[] = { { Phase::Waiting, "Waiting" },
        { Phase::Running, "Running" }, { Phase::Finished, "Finished" }, { Phase::Failed, "Failed" },
        { Phase::Stopped, "Stopped" }, { Phase::Skipped, "Skipped" } };
    for (const auto &phase : phases)
        phaseChoice->addItem(guiTr(phase.second), int(phase.first));
    connect(phaseChoice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        [this](int index) { rows->setPhase(phaseChoice->itemData(index).toInt()); });

    orderChoice = new QComboBox(this);
    orderChoice->setObjectName("JobOrder");
    orderChoice->setToolTip(guiTr("Order of the rows"));
    orderChoice->addItem(guiTr("Input order"), int(JobFilter::Order::Input));
    orderChoice->addItem(guiTr("By name"), int(JobFilter::Order::Name));
    orderChoice->addItem(guiTr("By state"), int(JobFilter::Order::Phase));
    orderChoice->addItem(guiTr("By fit"), int(JobFilter::Order::Fit));
    connect(
        orderChoice, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
            rows->setOrder(JobFilter::Order(orderChoice->itemData(index).toInt()));
        });

    shownCount = new QLabel(this);
    shownCount->setObjectName("JobCount");
    line->addWidget(namePart, 1);
    line->addWidget(phaseChoice);
    line->addWidget(orderChoice);
    line->addWidget(shownCount);
    static_cast<QVBoxLayout *>(layout())->addLayout(line);
}

void JobList::showCount()
{
    shownCount->setText(guiTr("shown %1 of %2").arg(rows->rowCount()).arg(jobs->rowCount()));
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
