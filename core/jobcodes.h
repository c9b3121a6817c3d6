#ifndef JOBCODES_H
#define JOBCODES_H

#include <QString>

// The codes of a job: what it starts with, the states it goes through, the programs it
// runs, what a status field shows of each, and how its last run ended.
struct JobCodes
{
    // What a job starts with; a new job's kind is also its first state.
    enum Kind { AtomsInput = 1, FeffInput = 6 };
    // The state codes a job goes through (5 is not used).
    enum State {
        Finished = 0,
        AtomsWaiting = 1,
        AtomsRequested = 2,
        AtomsStarting = 3,
        AtomsRunning = 4,
        FeffPending = 6,
        FeffRequested = 7,
        FeffStarting = 8,
        FeffRunning = 9
    };
    enum class Program { Atoms, Feff };
    // What a status field shows of one program.
    enum class Status { NotRunning, Starting, Running, Finished, Failed };
    // How the job's last run ended, in the words of a job log.
    enum class Outcome {
        None,
        Ok,
        NoChi,
        Crashed,
        ExitCode,
        Timeout,
        CannotStart,
        Stopped,
        Skipped,
        Resumed
    };

    // The text of a status field ("A. Running", ...), translated.
    static QString statusText(Program program, Status status);
    // The program's name in the log: "Atoms" or "FeFF".
    static QString programName(Program program);
    // The untranslated word for how a run ended (ok, no-chi, exit-2, ...); exitCode is the
    // status of the program that ended with one; a good run with FEFF's warnings is
    // ok-warned.
    static QString resultWord(Outcome outcome, int exitCode, bool warned = false);
};

#endif
