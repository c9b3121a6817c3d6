#ifndef JOB_H
#define JOB_H

#include "chidata.h"
#include "commandlines.h"
#include "convertstep.h"
#include "feffinpwriter.h"
#include "jobcodes.h"
#include "outputtail.h"
#include "problem.h"
#include "runsettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QObject>

#include <memory>

class FeffRunSet;
class WorkDirs;

// One input file's job: runs the converter (for a CIF input) and FEFF in its own working
// directory and reads chi.dat. Only a run that ended well gives a result: FEFF ran on a
// feff.inp this run wrote, ended with status 0 and wrote a new chi.dat. Its parts do the
// work: the command lines, the feff.inp writer, the converter step and the set of FEFF
// runs (one, or one per input of a converter that printed several, then averaged). The
// job holds the places its programs run in, counts its state, and tells how it ended. It
// has no widgets; a row of the main window shows it.
class Job : public QObject, public JobCodes
{
    Q_OBJECT

public:
    // workDirs: the manager's claims, so that two jobs of one run never share a directory.
    Job(const RunSettings *settings, const QFileInfo &file, int kind, QObject *parent = nullptr,
        WorkDirs *workDirs = nullptr);
    ~Job() override;

    int kind() const { return jobKind; }
    int state() const { return jobState; }
    Status status(Program program) const;
    // The text of a status field ("A. Running", ...), translated. While the runs of several
    // inputs go on, FEFF's reads "F. Running k/n": k of the n runs have started.
    QString statusText(Program program) const;
    using JobCodes::statusText;
    // What went wrong in the last run; none after a good run.
    const Problem &problem() const { return last.problem; }
    // The problem in words: the log lines that say why the last run gave no result.
    QString failureReason() const { return last.problem.text(); }

    const ChiData &chi() const { return chiData; }
    QString workingDirectory() const { return workDir; }
    QString inputPath() const { return inputFile.absoluteFilePath(); }
    QString inputName() const { return inputFile.fileName(); }

    // What the Atoms area shows: Atoms' output, or the copied FEFF input under its header
    // line.
    QString atomsText() const;
    // The last lines of FEFF's output, as the FEFF area shows them.
    QString feffText() const { return feffArea.tail.text(); }
    static int feffLinesKept();
    // A batch never shows output: it then keeps none beyond what feff.inp needs.
    void setKeepOutput(bool keep);
    // With resume on, a job whose record tells of a good run of the same input, programs
    // and feff.inp takes that run's chi.dat instead of running again.
    void setResume(bool on) { resume = on; }

    // The last run, for a job log.
    Outcome outcome() const { return last.outcome; }
    QDateTime startTime() const { return last.started; }
    double runSeconds() const { return last.seconds; }
    int exitCode(Program program) const
    {
        return program == Program::Atoms ? last.atomsExit : last.feffExit;
    }
    int endSignal() const { return last.signal; }
    // FEFF's warnings of a run that gave chi data nonetheless, as the log has them.
    QStringList warnings() const { return last.warnings; }
    bool isWaiting() const { return places.waiting; }
    bool isRunning() const;
    // The FEFF runs the job's result comes from: one, or one per input of the converter's.
    int feffRunCount() const;

    // Writes feff.inp from the Atoms area's text, from the marker on. A job of several
    // inputs writes none: their feff.inp files are in their subdirectories. False, and
    // logged, when no feff.inp was written.
    bool writeFeffInp(const QString &atomsAreaText);
    // The Atoms-area text that feff.inp was last written from: the converter's output or
    // the copied input, or the text of the last writeFeffInp().
    QString feffInpSourceText() const;
    // What reStartFeff() runs now: a finished job that runs no program.
    bool canRestartFeff() const { return jobState == Finished && !isRunning(); }

    // The converter options of the input's own .args file, which follow ATOMS_ARG.
    QStringList inputOptions() const { return commands.ownOptions(); }
    // Saves line in the input's .args file and runs Atoms and FEFF again with it, through
    // the manager's queue; not while a program of the job runs. False, and logged, when
    // the file cannot be written.
    bool setInputOptions(const QString &line);

public slots:
    void start();
    // A finished job runs FEFF again once the manager gives it a place.
    void reStartFeff();
    // Ends the running program (SIGTERM, SIGKILL 5 s later), or takes a waiting job out
    // of the queue.
    void stop();
    void showProcs() const;

signals:
    void log(const QString &msg);
    // The job has taken a place (a program of it runs) and has given it back. Atoms hands
    // its place straight to the job's FEFF run.
    void procStarted();
    void procStopped();
    void newChi();
    // A FEFF run left no valid data where the job had a curve before.
    void chiCleared();
    void statusChanged();
    void atomsOutput(const QString &text);
    void feffOutput(const QString &text);
    void feffOutputCleared();
    // Atoms runs again: its earlier output is gone.
    void atomsOutputCleared();
    // The job waits for a place: the manager queues it and calls start().
    void startRequested();
    // A start failed for lack of resources: the manager tries the job again later.
    void startDeferred();
    // The waiting job leaves the manager's queue.
    void skipRequested();
    // The job's run has come to its end, good or not (outcome() says how).
    void ended();

private:
    // How the last run went, for a job log and the failure reason.
    struct LastRun
    {
        Outcome outcome = Outcome::None;
        Problem problem;
        QDateTime started;
        QElapsedTimer clock;
        double seconds = 0;
        int atomsExit = -1;
        int feffExit = -1;
        int signal = 0;
        QStringList warnings;
    };
    // Places taken from the manager: one per running program. The place Atoms held is kept
    // for the job's first FEFF run (spare): no other job can take it in between.
    struct Places
    {
        int held = 0;
        bool spare = false;
        bool waiting = true;
    };
    struct FeffOutput
    {
        OutputTail tail;
        int column = 0;
        bool keep = true;
    };

    void wireConverter();
    void wireFeffRuns();
    void configureConverter();
    bool startsFromResume();
    void beginRun();
    void runFeff();
    void startInputRuns(const QVector<ConvertedInput> &inputs);
    void startNextRun();
    void runOver();
    void finishSingleRun();
    void finishAverage();
    void converterEnded(const ConvertStep::Result &result);
    void takePlace();
    void releasePlace();
    void giveBackSparePlace();
    void setStatus(Program program, Status status);
    void finish(Outcome outcome, const Problem &problem);
    void failWith(Outcome outcome, const Problem &problem);
    void endWithoutChi(Outcome outcome, const Problem &problem);
    void clearFeffOutput();
    void showFeffOutput(const QString &text);
    void writeRecord();
    void prepareFeffInpFile();
    void logLater(const QString &msg);
    void flushPendingLog();

    RunSettings settings;
    QFileInfo inputFile;
    QString baseName;
    QString workDir;
    int jobKind = AtomsInput;
    int jobState = AtomsWaiting;
    CommandLines commands;
    FeffInpWriter writer;
    std::unique_ptr<ConvertStep> convert;
    std::unique_ptr<FeffRunSet> feffRuns;
    Status atomsStatus = Status::NotRunning;
    Status feffStatus = Status::NotRunning;
    Places places;
    FeffOutput feffArea;
    bool resume = false;
    // The copied FEFF input as the Atoms area shows it.
    QString copiedText;
    ChiData chiData;
    QString inputSha;
    QString feffInpSha;
    // The feff.inp FEFF runs is the user's edit, not what this program wrote.
    bool feffInpEdited = false;
    LastRun last;
    // Messages of the constructor, for the log once the job is wired.
    QStringList pendingLog;
};

#endif
