#ifndef SCHEDULER_H
#define SCHEDULER_H

#include <QObject>

#include <deque>

class Job;
class QTimer;

// The first-in, first-out queue of program starts and the MAX_PROC places they run in.
// A job takes a place while a program of it runs: from the start the queue dispatches
// (programs start synchronously, so a start has taken its place or failed when start()
// returns) to the program's end. A job hands its place on from Atoms to its FEFF run
// without giving it back. A start that failed for lack of resources goes back to the
// front, and the queue waits for a program to end, or a second.
class Scheduler : public QObject
{
    Q_OBJECT

public:
    explicit Scheduler(QObject *parent = nullptr);

    void setPlaces(int count) { placeCount = count; }
    int places() const { return placeCount; }
    int inUse() const { return used; }
    int waiting() const { return int(queue.size()); }

    void enqueue(Job *job);
    // The job's start failed for lack of resources: it is tried again first.
    void retryFirst(Job *job);
    // The job leaves the queue: it was skipped.
    void remove(Job *job);
    void placeTaken();
    void placeReleased();
    // Starts jobs from the front while places are free.
    void dispatch();
    // Starts the job at the front, whatever the places.
    void startFirst();
    // No more starts.
    void stop();
    // No program runs and no waiting job can be started.
    bool isIdle() const;

    // Emits idle() from the event loop if the queue is idle then.
    void scheduleIdleCheck();

signals:
    // Emitted from the event loop whenever the queue has become idle.
    void idle();

private:
    std::deque<Job *> queue;
    int placeCount = 0;
    int used = 0;
    bool stopping = false;
    bool dispatching = false;
    // A start failed for lack of resources: the queue waits before trying again.
    bool deferred = false;
    QTimer *retryTimer = nullptr;
};

#endif
