#ifndef FEFFRUNSET_H
#define FEFFRUNSET_H

#include "chiaverage.h"
#include "chidata.h"
#include "feffinp.h"
#include "filestamp.h"
#include "problem.h"
#include "programrun.h"
#include "runsettings.h"

#include <QObject>
#include <memory>
#include <vector>

// The FEFF runs of a job: one in the working directory for a job of one FEFF input, or
// one per input of a converter that printed several, each in a subdirectory named after
// it. A run waits for a place, runs, and ends with a new chi.dat of its own or without
// one; a set of several then averages the good ones (AVERAGE_PARTIAL: even when some
// failed) into the working directory's chi.dat.
class FeffRunSet : public QObject
{
    Q_OBJECT

public:
    enum class State { Waiting, Running, Good, Failed };

    struct Run
    {
        QString name;
        double weight = 1;
        QString dir;
        ProgramRun program;
        bool wired = false;
        State state = State::Waiting;
        bool feffInpWritten = false;
        // chi.dat as it was when FEFF was started in dir
        FileStamp chiBefore;
        TroubleLines trouble;
        // What a good run wrote: the curve of a lone run, the columns of one of several
        // until the average is made.
        ChiData chi;
        ChiColumns columns;
        // How a run ended that gave nothing.
        JobCodes::Outcome outcome = JobCodes::Outcome::None;
        Problem problem;
        // FEFF's trouble lines, as logged.
        QStringList warnings;
        int exitCode = -1;
        int signal = 0;
        QString chiPath() const;
    };

    FeffRunSet(const RunSettings &settings, const QString &workDir, QObject *parent = nullptr);

    // The lone run of the job's own feff.inp in the working directory.
    void setSingle();
    // No runs; then a run of each input, in its subdirectory.
    void clear() { runs.clear(); }
    Run &addRun(const QString &name, double weight, const QString &dir);
    int size() const { return int(runs.size()); }
    bool isAverage() const { return size() > 1; }
    Run &at(int i) const { return *runs.at(size_t(i)); }
    int count(State state) const;
    // Runs that have left the queue: running or ended.
    int started() const { return size() - count(State::Waiting); }
    bool allEnded() const { return count(State::Waiting) + count(State::Running) == 0; }
    bool isActive() const { return count(State::Running) > 0; }
    QStringList names() const;
    QStringList names(State state) const;

    // Starts the first waiting run; a run that cannot start ends at once (runOver()).
    void startNext();
    // Every run waits again.
    void rewind();
    // The running runs end, the waiting ones are skipped.
    void stop();
    // The average of the good runs, written to the working directory's chi.dat for the job
    // whose input is inputPath; false and the problem when there is none.
    bool writeAverage(const QString &inputPath, ChiData *chi, Problem *problem);
    // The trouble lines of every run, as logged.
    QStringList warnings() const;

signals:
    void starting();
    // A run's program runs: it has taken a place.
    void running();
    // A run's program has ended after running: its place is free.
    void programEnded();
    // A run could not start for lack of resources: it waits for a place again.
    void startDeferred(const Problem &problem);
    void output(const QString &text);
    void log(const QString &msg);
    // A run has ended, however it ended (also without starting).
    void runOver(int index);

private:
    void wire(int index);
    void failedToStart(int index, const QString &why, bool transient);
    void ended(int index, const ProgramRun::End &end);
    void fail(Run &run, JobCodes::Outcome outcome, const Problem &problem);
    Problem readResult(Run &run);

    RunSettings settings;
    QString workDir;
    std::vector<std::unique_ptr<Run>> runs;
};

#endif
