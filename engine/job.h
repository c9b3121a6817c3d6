#ifndef JOB_H
#define JOB_H

#include "chidata.h"
#include "feffinp.h"
#include "filestamp.h"
#include "outputtail.h"
#include "programrun.h"
#include "runrecord.h"
#include "runsettings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QObject>

#include <memory>

class InputRuns;
struct ConvertedInput;
class QTextCodec;

// One input file's job: runs Atoms (for a CIF input) and FEFF in its own working
// directory and reads chi.dat. Only a run that ended well gives a result: FEFF ran on a
// feff.inp this run wrote, ended with status 0 and wrote a new chi.dat. Such a run leaves
// a record in the working directory. A converter that prints several FEFF inputs (one per
// site or per configuration) makes the job run FEFF once per input, each run in its own
// subdirectory and each taking a place of its own from the manager; the job's result is
// then the weighted average of their chi(k), written to chi.dat in the working directory.
// The job has no widgets; a row of the main window shows it.
class Job : public QObject
{
    Q_OBJECT

public:
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

    Job(const RunSettings *settings, const QFileInfo &file, int kind, QObject *parent = nullptr);
    ~Job() override;

    int kind() const { return jobKind; }
    int state() const { return jobState; }
    Status status(Program program) const;
    // The text of a status field ("A. Running", ...), translated. While the runs of several
    // inputs go on, FEFF's reads "F. Running k/n": k of the n runs have started.
    QString statusText(Program program) const;
    static QString statusText(Program program, Status status);
    // Why the last run gave no result: the log lines that say so; empty after a good run.
    QString failureReason() const { return reason; }

    const ChiData &chi() const { return chiData; }
    QString workingDirectory() const { return workDir; }
    QString inputPath() const { return inputFile.absoluteFilePath(); }
    QString inputName() const { return inputFile.fileName(); }

    // What the Atoms area shows: Atoms' output, or the copied FEFF input under its header
    // line.
    QString atomsText() const { return atomsOutputText; }
    // The last lines of FEFF's output, as the FEFF area shows them.
    QString feffText() const { return feffTail.text(); }
    static int feffLinesKept();
    // A batch never shows output: it then keeps none beyond what feff.inp needs.
    void setKeepOutput(bool keep);
    // With resume on, a job whose record tells of a good run of the same input, programs
    // and feff.inp takes that run's chi.dat instead of running again.
    void setResume(bool on) { resume = on; }

    // The last run, for a job log.
    Outcome outcome() const { return lastOutcome; }
    QDateTime startTime() const { return started; }
    double runSeconds() const { return seconds; }
    int exitCode(Program program) const { return program == Program::Atoms ? atomsExit : feffExit; }
    int endSignal() const { return lastSignal; }
    bool isWaiting() const { return waitingForPlace; }
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
    QStringList inputOptions() const { return ownOptions; }
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
    void configurePrograms();
    void readInputOptions();
    void configureConverter();
    void connectProgram(ProgramRun *run, Program program);
    bool startsFromResume();
    void runFeff();
    void takePlace();
    void releasePlace();
    void giveBackSparePlace();
    bool hasInputRuns() const;
    void startInputRuns(const QVector<ConvertedInput> &inputs);
    void startNextInputRun();
    void inputRunEnded(int index, const ProgramRun::End &end);
    void inputRunFailedToStart(int index, const QString &why, bool transient);
    void inputRunOver();
    void finishInputRuns();
    void failInputRuns(Outcome outcome, const QString &why);
    void endWithoutChi(Outcome outcome, const QString &why);
    void clearFeffOutput();
    void setStatus(Program program, Status status);
    void finish(Outcome outcome, const QString &why);
    QString reportAbnormalEnd(
        const ProgramRun::End &end, const QString &programName, const QString &dir);
    static Outcome outcomeOf(const ProgramRun::End &end);
    void readFeffResult();
    void writeRecord();
    RunRecord currentRun() const;
    void prepareFeffInpFile();
    bool replaceFeffInp(const QString &dir, const QByteArray &bytes, const QString &openFailure);
    void logLater(const QString &msg);
    void flushPendingLog();
    void atomsEnded(const ProgramRun::End &end);
    QString withConverterMessage(const QString &why);
    void feffEnded(const ProgramRun::End &end);
    void takeFeffOutput(const QByteArray &bytes);
    void showFeffOutput(const QString &text);
    void startFailed(Program program, const QString &reason, bool transient);
    static QString claimWorkDir(const QString &resFiles, const QString &baseName);

    RunSettings settings;
    QFileInfo inputFile;
    QString baseName;
    QString workDir;
    int jobKind = AtomsInput;
    int jobState = AtomsWaiting;
    ProgramRun atomsRun;
    ProgramRun feffRun;
    Status atomsStatus = Status::NotRunning;
    Status feffStatus = Status::NotRunning;
    // Places taken from the manager: one per running program.
    int placesHeld = 0;
    // The place Atoms held, kept for the job's first FEFF run: no other job can take it.
    bool sparePlace = false;
    bool waitingForPlace = true;
    bool keepOutput = true;
    bool resume = false;

    QString atomsOutputText;
    QByteArray atomsOutputBytes;
    // The encoding of the FEFF input text, for writing edits of it back.
    QTextCodec *feffInpCodec = nullptr;
    // feff.inp was written by this run of the program (copied, converted or updated).
    bool feffInpWritten = false;
    // The text of the last writeFeffInp(), while feff.inp is the one written from it.
    QString updatedAreaText;
    bool feffInpFromUpdate = false;
    QStringList ownOptions;
    OutputTail feffTail;
    int feffOutputColumn = 0;
    TroubleLines feffTrouble;
    std::unique_ptr<InputRuns> inputRuns;

    ChiData chiData;
    // chi.dat as it was when FEFF was last started
    FileStamp chiBeforeRun;
    QString inputSha;
    QString feffInpSha;
    // The feff.inp of the good run whose record the last start removed.
    QString recordedFeffInpSha;

    Outcome lastOutcome = Outcome::None;
    QString reason;
    QDateTime started;
    QElapsedTimer clock;
    double seconds = 0;
    int atomsExit = -1;
    int feffExit = -1;
    int lastSignal = 0;
    // Messages of the constructor, for the log once the job is wired.
    QStringList pendingLog;
};

#endif
