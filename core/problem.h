#ifndef PROBLEM_H
#define PROBLEM_H

#include "jobcodes.h"

#include <QString>

// What went wrong in a job's run, as a value. text() words it as the log, standard error,
// the job log and the tooltips show it, in the row's translation context.
struct Problem
{
    enum class Kind {
        None,
        WorkDirNotMade, // dir could not be made
        CannotStart, // path: the program; detail: why
        CannotStartNow, // the same for lack of resources: tried again later
        TimeLimit, // program ran past limit seconds in dir
        StoppedByUser, // program stopped in dir
        Crashed, // program killed by signal in dir
        LeftProcesses, // program ended in dir while processes it started still ran
        ExitCode, // program ended with exitCode in dir
        SkippedByUser, // path: the input, or the directory of a run
        NoFeffInp, // FEFF not started in dir: this run wrote no feff.inp there
        NoNewChi, // FEFF wrote no new chi.dat in dir
        NoChiData, // chi.dat in dir holds no data
        ChiNotFinite, // path: a chi.dat with count rows whose values are not finite numbers
        CannotOpen, // path could not be opened; detail: why
        RunsWithoutChi, // count of total runs of dir gave no chi(k); detail: their names
        NoAverage, // no average in dir; detail: why
        CannotWrite, // path could not be written; detail: why
        InputsAmbiguous, // the converter's inputs in dir cannot be told apart; detail: why
        NoFeffInput, // the converter printed no FEFF input in dir
    };

    Kind kind = Kind::None;
    JobCodes::Program program = JobCodes::Program::Feff;
    QString dir;
    QString path;
    int exitCode = 0;
    int signal = 0;
    int limit = 0;
    int count = 0;
    int total = 0;
    QString detail;
    // The converter's own last line, which says why it failed; shown on a line of its own.
    QString programSaid;

    bool isNone() const { return kind == Kind::None; }
    QString text() const;
    // The line the converter's own words are shown on.
    QString saidLine() const;
};

#endif
