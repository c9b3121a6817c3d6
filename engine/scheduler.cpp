#include "scheduler.h"

#include "job.h"

#include <QTimer>

#include <algorithm>

namespace {
// How long a start that failed for lack of resources waits when no program ends first.
const int retryDelayMs = 1000;
} // namespace

Scheduler::Scheduler(QObject *parent)
    : QObject(parent)
    , retryTimer(new QTimer(this))
{
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, [this] {
        deferred = false;
        dispatch();
        scheduleIdleCheck();
    });
}

void Scheduler::enqueue(Job *job)
{
    queue.push_back(job);
    dispatch();
}

void Scheduler::retryFirst(Job *job)
{
    queue.push_front(job);
    deferred = true;
    if (!retryTimer->isActive())
        retryTimer->start(retryDelayMs);
}

void Scheduler::remove(Job *job)
{
    queue.erase(std::remove(queue.begin(), queue.end(), job), queue.end());
    scheduleIdleCheck();
}

void Scheduler::placeTaken() { ++used; }

void Scheduler::placeReleased()
{
    --used;
    deferred = false;
    dispatch();
    scheduleIdleCheck();
}

// A start may end at once and give its place back, which asks for a dispatch from within
// this one: the loop below takes it, so that a burst of failing starts does not recurse.
void Scheduler::dispatch()
{
    if (dispatching)
        return;
    dispatching = true;
    while (!stopping && !deferred && !queue.empty() && used < placeCount) {
        Job *job = queue.front();
        queue.pop_front();
        job->start();
    }
    dispatching = false;
}

void Scheduler::startFirst()
{
    if (queue.empty())
        return;
    Job *job = queue.front();
    queue.pop_front();
    job->start();
}

void Scheduler::stop() { stopping = true; }

bool Scheduler::isIdle() const
{
    return used == 0 && (queue.empty() || placeCount <= 0 || stopping);
}

// Checked from the event loop, not at once: a restart asked for from a job's own report
// is queued right after it.
void Scheduler::scheduleIdleCheck()
{
    QTimer::singleShot(0, this, [this] {
        if (isIdle() && !deferred)
            emit idle();
    });
}
