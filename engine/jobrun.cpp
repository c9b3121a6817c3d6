// The run sequence of a job: its start, the converter's end, the FEFF runs and their end,
// a stop, and how the run ends.
#include "job.h"

#include "feffrunset.h"
#include "jobfiles.h"
#include "runrecord.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QMetaObject>

namespace {

QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

} // namespace

void Job::start()
{
    // Each later run of several inputs has its own place in the manager's queue.
    if (jobState == FeffRunning && feffRuns->isAverage()) {
        startNextRun();
        return;
    }
    if (jobState != AtomsWaiting && jobState != FeffPending)
        return;
    flushPendingLog();
    places.waiting = false;
    if (resume && startsFromResume())
        return;
    beginRun();
    if (jobState == AtomsWaiting) {
        jobState = AtomsRequested;
        convert->start();
    } else if (feffRuns->isAverage()) {
        jobState = FeffRunning;
        startNextRun();
    } else {
        runFeff();
    }
}

void Job::beginRun()
{
    last.started = QDateTime::currentDateTime();
    last.clock.start();
    last.atomsExit = last.feffExit = -1;
    last.signal = 0;
    last.problem = Problem();
    last.warnings.clear();
    // The record tells of a good run; what runs now is not that run any more. Its feff.inp
    // stays known: the converter replaces it, and it is no edit of the user's to keep.
    RunRecord lastGood;
    if (lastGood.read(workDir) && !lastGood.feffInpEdited)
        writer.setRecordedSha(lastGood.feffInpSha256);
    RunRecord::remove(workDir);
    inputSha = fileSha256(inputFile.absoluteFilePath());
}

void Job::reStartFeff()
{
    if (!canRestartFeff())
        return;
    clearFeffOutput();
    jobState = FeffPending;
    places.waiting = true;
    // Every input runs again from the feff.inp in its directory, each from the queue.
    feffRuns->rewind();
    for (int i = 0; i < feffRuns->size(); ++i)
        emit startRequested();
}

void Job::stop()
{
    if (jobState == FeffRunning && feffRuns->isAverage()) {
        feffRuns->stop();
        places.waiting = false;
        emit skipRequested();
        runOver();
        return;
    }
    if (convert && convert->program().isActive()) {
        Problem stopped;
        stopped.kind = Problem::Kind::StoppedByUser;
        stopped.program = Program::Atoms;
        stopped.dir = workDir;
        emit log(stopped.text());
        convert->program().stop();
    } else if (feffRuns->isActive()) {
        feffRuns->stop();
    } else if (places.waiting && (jobState == AtomsWaiting || jobState == FeffPending)) {
        places.waiting = false;
        emit skipRequested();
        jobState = Finished;
        Problem skipped;
        skipped.kind = Problem::Kind::SkippedByUser;
        skipped.path = inputPath();
        finish(Outcome::Skipped, skipped);
        emit log(skipped.text());
    }
}

// The chi.dat of an earlier good run stands for this one when nothing it came from has
// changed: the input, the programs and their arguments, feff.inp and chi.dat itself.
bool Job::startsFromResume()
{
    RunRecord record;
    if (!record.read(workDir) || !record.sameRunAs(commands.record(jobKind == AtomsInput)))
        return false;
    const QString feffInp = joinPath(workDir, "feff.inp");
    const QString chiPath = joinPath(workDir, "chi.dat");
    if (fileSha256(feffInp) != record.feffInpSha256 || fileSha256(chiPath) != record.chiSha256)
        return false;
    chiData.read(chiPath);
    if (!chiData.valid || chiData.kValues.size() != record.chiPoints) {
        chiData.reset();
        return false;
    }
    last.started = record.started;
    last.seconds = record.seconds;
    last.atomsExit = jobKind == AtomsInput ? 0 : -1;
    last.feffExit = record.exitCode;
    jobState = Finished;
    if (jobKind == AtomsInput)
        atomsStatus = Status::Finished;
    feffStatus = Status::Finished;
    emit statusChanged();
    finish(Outcome::Resumed, Problem());
    emit newChi();
    return true;
}

void Job::converterEnded(const ConvertStep::Result &result)
{
    last.atomsExit = result.end.crashed ? -1 : result.end.exitCode;
    last.signal = result.end.signal;
    jobState = FeffPending;
    // A converter that failed leaves the previous feff.inp alone, and FEFF does not run.
    if (!result.problem.isNone()) {
        setStatus(Program::Atoms, Status::Failed);
        jobState = Finished;
        releasePlace();
        finish(result.outcome, result.problem);
        return;
    }
    writer.takeConverterText();
    if (result.inputs.isEmpty()) {
        feffRuns->setSingle();
        writer.replace(workDir, result.input, demeterTr("Can not open feff.inp for %1"));
    }
    if (!feffArea.keep)
        convert->dropOutputText();
    setStatus(Program::Atoms, Status::Finished);
    // The place Atoms held goes straight to FEFF: no other job can take it in between.
    places.spare = places.held > 0;
    if (!result.inputs.isEmpty())
        startInputRuns(result.inputs);
    else
        runFeff();
}

void Job::runFeff()
{
    jobState = FeffRequested;
    FeffRunSet::Run &run = feffRuns->at(0);
    run.feffInpWritten = writer.written();
    if (run.feffInpWritten) {
        feffInpSha = fileSha256(joinPath(workDir, "feff.inp"));
        feffInpEdited = writer.isUsersFile(feffInpSha);
    }
    feffRuns->startNext();
}

// Each input gets its directory and its feff.inp; the first run takes the place Atoms
// held, the others queue for theirs behind the jobs already waiting.
void Job::startInputRuns(const QVector<ConvertedInput> &inputs)
{
    jobState = FeffRunning;
    feffRuns->clear();
    for (const ConvertedInput &input : inputs) {
        FeffRunSet::Run &run
            = feffRuns->addRun(input.name, input.weight, joinPath(workDir, input.name));
        if (!QDir(QDir::currentPath()).mkpath(run.dir))
            emit log(demeterTr("Can not create the working directory %1").arg(run.dir));
        else
            run.feffInpWritten
                = writer.replace(run.dir, input.text, demeterTr("Can not open feff.inp for %1"));
    }
    emit log(demeterTr("%1 FEFF inputs for %2 : %3")
                 .arg(feffRuns->size())
                 .arg(workDir, feffRuns->names().join(", ")));
    startNextRun();
    for (int i = 1; i < feffRuns->size(); ++i)
        emit startRequested();
}

// Starts the first waiting run. One that cannot start ends at once, and the queue goes on
// to its next entry, as for any program that cannot start.
void Job::startNextRun()
{
    places.waiting = feffRuns->count(FeffRunSet::State::Waiting) > 1;
    feffRuns->startNext();
}

void Job::runOver()
{
    if (!feffRuns->isAverage()) {
        finishSingleRun();
        return;
    }
    emit statusChanged();
    if (jobState == FeffRunning && feffRuns->allEnded())
        finishAverage();
}

void Job::finishSingleRun()
{
    FeffRunSet::Run &run = feffRuns->at(0);
    last.feffExit = run.exitCode;
    if (run.state == FeffRunSet::State::Good) {
        last.signal = run.signal;
        jobState = Finished;
        chiData = std::move(run.chi);
        run.chi = ChiData();
        last.warnings = run.warnings;
        setStatus(Program::Feff, Status::Finished);
        writeRecord();
        finish(Outcome::Ok, Problem());
        emit newChi();
        return;
    }
    const Problem::Kind kind = run.problem.kind;
    if (kind == Problem::Kind::NoFeffInp || kind == Problem::Kind::CannotStart) {
        setStatus(Program::Feff, Status::NotRunning);
        // A FEFF that cannot start leaves the job where it was, as it always did.
        jobState = kind == Problem::Kind::NoFeffInp ? Finished : FeffStarting;
        finish(Outcome::CannotStart, run.problem);
        return;
    }
    last.signal = run.signal;
    jobState = Finished;
    endWithoutChi(run.outcome, run.problem);
}

// All runs have ended: their weighted average becomes the job's chi.dat. A run without a
// result leaves the job without one, unless AVERAGE_PARTIAL lets the others make it.
void Job::finishAverage()
{
    jobState = Finished;
    places.waiting = false;
    const QStringList missing = feffRuns->names(FeffRunSet::State::Failed);
    const int total = feffRuns->size();
    Outcome firstFailure = Outcome::Ok;
    for (int i = 0; i < total && firstFailure == Outcome::Ok; ++i) {
        const FeffRunSet::Run &run = feffRuns->at(i);
        if (run.state == FeffRunSet::State::Failed) {
            firstFailure = run.outcome;
            last.feffExit = run.exitCode;
            last.signal = run.signal;
        }
    }
    if (!missing.isEmpty() && (!settings.averagePartial || missing.size() == total)) {
        Problem problem;
        problem.kind = Problem::Kind::RunsWithoutChi;
        problem.dir = workDir;
        problem.count = missing.size();
        problem.total = total;
        problem.detail = missing.join(", ");
        failWith(firstFailure, problem);
        return;
    }
    Problem problem;
    ChiData average;
    if (!feffRuns->writeAverage(inputPath(), &average, &problem)) {
        failWith(Outcome::NoChi, problem);
        return;
    }
    chiData = std::move(average);
    last.warnings = feffRuns->warnings();
    setStatus(Program::Feff, Status::Finished);
    finish(Outcome::Ok, Problem());
    emit newChi();
}

void Job::failWith(Outcome outcome, const Problem &problem)
{
    emit log(problem.text());
    endWithoutChi(outcome, problem);
}

// Whatever FEFF left in chi.dat is no result: the job shows no curve and fails.
void Job::endWithoutChi(Outcome outcome, const Problem &problem)
{
    const bool hadCurve = chiData.valid;
    chiData.reset();
    setStatus(Program::Feff, Status::Failed);
    if (hadCurve)
        emit chiCleared();
    finish(outcome, problem);
}

void Job::finish(Outcome outcome, const Problem &problem)
{
    last.outcome = outcome;
    // A status field shows the reason of its failure: the status is told again with it.
    const bool newReason = last.problem.text() != problem.text();
    last.problem = problem;
    if (newReason)
        emit statusChanged();
    if (outcome != Outcome::Resumed && last.clock.isValid())
        last.seconds = last.clock.elapsed() / 1000.0;
    emit ended();
}

void Job::takePlace()
{
    if (places.spare) {
        places.spare = false;
        return;
    }
    ++places.held;
    emit procStarted();
}

void Job::releasePlace()
{
    if (places.held == 0)
        return;
    --places.held;
    emit procStopped();
}

// The place Atoms handed over goes back when its FEFF run does not start.
void Job::giveBackSparePlace()
{
    if (!places.spare)
        return;
    places.spare = false;
    releasePlace();
}

void Job::writeRecord()
{
    RunRecord record = commands.record(jobKind == AtomsInput);
    record.inputSha256 = inputSha;
    record.exitCode = last.feffExit;
    record.started = last.started;
    record.seconds = last.clock.elapsed() / 1000.0;
    record.feffInpSha256 = feffInpSha;
    record.feffInpEdited = feffInpEdited;
    record.chiSha256 = fileSha256(joinPath(workDir, "chi.dat"));
    record.chiPoints = chiData.kValues.size();
    QString error;
    if (!record.write(workDir, &error))
        emit log(demeterTr("Can not write %1 : %2")
                     .arg(joinPath(workDir, RunRecord::fileName()), error));
}
