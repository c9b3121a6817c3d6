#ifndef RESULTSLOCK_H
#define RESULTSLOCK_H

#include <QString>

// The lock that one Orbelin at a time holds on a results folder (flock on .orbelin.lock in
// it, which names the holder's process), so that two do not run the same jobs in the same
// directories. Released when the object goes, or when the process ends however it ends.
class ResultsLock
{
public:
    enum class Result { Taken, InUse, CannotWrite };

    ResultsLock() = default;
    ~ResultsLock();
    ResultsLock(const ResultsLock &) = delete;
    ResultsLock &operator=(const ResultsLock &) = delete;

    Result take(const QString &resultsDir);
    // The process that holds the folder, when take() found it in use.
    QString holder() const { return holderPid; }

private:
    int fd = -1;
    QString holderPid;
};

#endif
