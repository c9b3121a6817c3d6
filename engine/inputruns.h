#ifndef INPUTRUNS_H
#define INPUTRUNS_H

#include "chiaverage.h"
#include "feffinp.h"
#include "filestamp.h"
#include "job.h"
#include "programrun.h"

#include <QString>
#include <memory>
#include <vector>

// The FEFF runs of a job whose converter printed several inputs: one per input, each in a
// subdirectory of the job's working directory named after it. A run waits for a place,
// runs, and ends with a chi.dat of its own or without one.
class InputRuns
{
public:
    enum class State { Waiting, Running, Good, Failed };

    struct Run
    {
        QString name;
        double weight = 1;
        QString dir;
        ProgramRun program;
        State state = State::Waiting;
        bool feffInpWritten = false;
        // chi.dat as it was when FEFF was started in dir
        FileStamp chiBefore;
        TroubleLines trouble;
        // What a good run wrote, until the average is made.
        ChiColumns chi;
        // How a failed run ended, for the job's outcome.
        Job::Outcome outcome = Job::Outcome::None;
        int exitCode = -1;
        int signal = 0;
        QString chiPath() const;
    };

    void clear() { runs.clear(); }
    Run &add(const QString &name, double weight, const QString &dir);
    int size() const { return int(runs.size()); }
    Run &at(int i) const { return *runs.at(size_t(i)); }

    int count(State state) const;
    // Runs that have left the queue: running or ended.
    int started() const { return size() - count(State::Waiting); }
    bool allEnded() const { return count(State::Waiting) + count(State::Running) == 0; }
    // The first run still waiting, in input order; null when none waits.
    Run *nextWaiting() const;
    // The runs' names in input order, for a log line.
    QStringList names() const;
    QStringList names(State state) const;
    // Every run waits again, for a restart.
    void rewind();

private:
    std::vector<std::unique_ptr<Run>> runs;
};

#endif
