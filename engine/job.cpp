#include "job.h"

#include "chiaverage.h"
#include "feffinputs.h"
#include "inputoptions.h"
#include "inputruns.h"
#include "jobfiles.h"
#include "textcodec.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>

namespace {

const int feffOutputLinesKept = 10000;
const int feffOutputWidthKept = 1000;

// The job's texts belong to the row's translation context, where the catalogue has them.
QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

// Text for the Atoms area: the line ends of a Windows file read as line ends.
QString displayText(const QByteArray &bytes, QTextCodec *codec)
{
    QString text = codec->toUnicode(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace

Job::Job(const RunSettings *runSettings, const QFileInfo &file, int kind, QObject *parent)
    : QObject(parent)
    , settings(*runSettings)
    , inputFile(file)
    , jobKind(kind)
    , jobState(kind)
    , feffTail(feffOutputLinesKept)
    , inputRuns(std::make_unique<InputRuns>())
{
    baseName = inputFile.completeBaseName();
    workDir = claimWorkDir(settings.resFiles, baseName);
    if (!QDir(QDir::currentPath()).mkpath(workDir))
        logLater(demeterTr("Can not create the working directory %1").arg(workDir));
    configurePrograms();
    if (kind == FeffInput)
        prepareFeffInpFile();
}

Job::~Job() = default;

void Job::configurePrograms()
{
    if (jobKind == AtomsInput) {
        readInputOptions();
        configureConverter();
        atomsRun.setTimeLimit(settings.atomsTimeout);
        connectProgram(&atomsRun, Program::Atoms);
        connect(&atomsRun, &ProgramRun::output, this, [this](const QByteArray &bytes) {
            const QString text = decodeOutputLines(bytes);
            atomsOutputText += text;
            atomsOutputBytes += bytes;
            emit atomsOutput(text);
        });
        connect(&atomsRun, &ProgramRun::ended, this, &Job::atomsEnded);
    }
    feffRun.configure(
        nativePath(settings.feffExe), settings.feffArgs, settings.environment, workDir);
    feffRun.setTimeLimit(settings.feffTimeout);
    connectProgram(&feffRun, Program::Feff);
    connect(&feffRun, &ProgramRun::output, this, &Job::takeFeffOutput);
    connect(&feffRun, &ProgramRun::ended, this, &Job::feffEnded);
}

// The input's own options follow ATOMS_ARG, so that they can override its words.
void Job::configureConverter()
{
    QStringList args = settings.atomsArgs + ownOptions;
    args << "-c" << nativePath(inputFile.canonicalFilePath());
    atomsRun.configure(nativePath(settings.atomsExe), args, settings.environment, workDir);
}

void Job::readInputOptions()
{
    const InputOptions options = InputOptions::read(inputFile.absoluteFilePath());
    if (!options.error.isEmpty()) {
        logLater(demeterTr("Can not read %1 : %2 ; the converter runs without it")
                     .arg(options.path, options.error));
    } else if (!options.words.isEmpty()) {
        ownOptions = options.words;
        logLater(demeterTr("The job of %1 uses the converter options in %2 : %3")
                     .arg(inputPath(), options.path, options.line));
    }
}

bool Job::setInputOptions(const QString &line)
{
    if (jobKind != AtomsInput || isRunning())
        return false;
    const QString path = InputOptions::pathFor(inputPath());
    QString error;
    if (!InputOptions::save(inputPath(), line, &error)) {
        emit log(demeterTr("Can not write %1 : %2").arg(path, error));
        return false;
    }
    ownOptions = splitArgs(line);
    configureConverter();
    emit log(ownOptions.isEmpty()
            ? demeterTr("Removed %1 : the converter of %2 takes the options of ATOMS_ARG alone")
                  .arg(path, inputPath())
            : demeterTr("Saved the converter options of %1 in %2 : %3")
                  .arg(inputPath(), path, ownOptions.join(QLatin1Char(' '))));
    // The job runs from the start, as a new one: its earlier output and result were made
    // with the options before.
    clearFeffOutput();
    atomsOutputText.clear();
    emit atomsOutputCleared();
    atomsStatus = feffStatus = Status::NotRunning;
    emit statusChanged();
    if (chiData.valid) {
        chiData.reset();
        emit chiCleared();
    }
    jobState = AtomsWaiting;
    if (!waitingForPlace) {
        waitingForPlace = true;
        emit startRequested();
    }
    return true;
}

void Job::connectProgram(ProgramRun *run, Program program)
{
    const bool atoms = program == Program::Atoms;
    connect(run, &ProgramRun::starting, this, [this, atoms, program] {
        jobState = atoms ? AtomsStarting : FeffStarting;
        setStatus(program, Status::Starting);
    });
    connect(run, &ProgramRun::running, this, [this, atoms, program] {
        takePlace();
        jobState = atoms ? AtomsRunning : FeffRunning;
        setStatus(program, Status::Running);
    });
    connect(
        run, &ProgramRun::failedToStart, this, [this, program](const QString &why, bool transient) {
            startFailed(program, why, transient);
        });
}

// Jobs of one run never share a working directory: a second input with the same base
// name (Cu.cif and Cu.inp, or one file dropped twice) works in Cu_2, so that the FEFF
// runs cannot overwrite each other's files. A later run of the program reuses Cu.
QString Job::claimWorkDir(const QString &resFiles, const QString &name)
{
    static QSet<QString> claimed;
    // A file of the user's with the name is no working directory; it is left alone.
    auto unusable = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() && !info.isDir();
    };
    QString dir = joinPath(resFiles, name);
    for (int n = 2; claimed.contains(dir) || unusable(dir); ++n)
        dir = joinPath(resFiles, name + "_" + QString::number(n));
    claimed.insert(dir);
    return dir;
}

QString Job::statusText(Program program) const
{
    const Status current = status(program);
    if (program == Program::Feff && current == Status::Running && hasInputRuns())
        return demeterTr("F. Running %1/%2").arg(inputRuns->started()).arg(inputRuns->size());
    return statusText(program, current);
}

bool Job::hasInputRuns() const { return inputRuns->size() > 1; }

int Job::feffRunCount() const { return hasInputRuns() ? inputRuns->size() : 1; }

bool Job::isRunning() const
{
    return atomsRun.isActive() || feffRun.isActive()
        || inputRuns->count(InputRuns::State::Running) > 0;
}

Job::Status Job::status(Program program) const
{
    return program == Program::Atoms ? atomsStatus : feffStatus;
}

QString Job::statusText(Program program, Status status)
{
    if (program == Program::Atoms) {
        switch (status) {
        case Status::NotRunning:
            return demeterTr("A. Not Running");
        case Status::Starting:
            return demeterTr("A. Starting");
        case Status::Running:
            return demeterTr("A. Running");
        case Status::Finished:
            return demeterTr("A. Finished");
        case Status::Failed:
            return demeterTr("A. Failed");
        }
    }
    switch (status) {
    case Status::NotRunning:
        return demeterTr("F. Not Running");
    case Status::Starting:
        return demeterTr("F. Starting");
    case Status::Running:
        return demeterTr("F. Running");
    case Status::Finished:
        return demeterTr("F. Finished");
    case Status::Failed:
        return demeterTr("F. Failed");
    }
    return QString();
}

void Job::setStatus(Program program, Status status)
{
    (program == Program::Atoms ? atomsStatus : feffStatus) = status;
    emit statusChanged();
}

int Job::feffLinesKept() { return feffOutputLinesKept; }

void Job::setKeepOutput(bool keep)
{
    keepOutput = keep;
    if (!keep && jobKind == FeffInput)
        atomsOutputText = QString();
}

void Job::start()
{
    // Each later run of several inputs has its own place in the manager's queue.
    if (jobState == FeffRunning && hasInputRuns()) {
        startNextInputRun();
        return;
    }
    if (jobState != AtomsWaiting && jobState != FeffPending)
        return;
    flushPendingLog();
    waitingForPlace = false;
    if (resume && startsFromResume())
        return;
    started = QDateTime::currentDateTime();
    clock.start();
    atomsExit = feffExit = -1;
    lastSignal = 0;
    reason.clear();
    // The record tells of a good run; what runs now is not that run any more. Its feff.inp
    // stays known: the converter replaces it, and it is no edit of the user's to keep.
    RunRecord lastGood;
    if (lastGood.read(workDir))
        recordedFeffInpSha = lastGood.feffInpSha256;
    RunRecord::remove(workDir);
    inputSha = fileSha256(inputFile.absoluteFilePath());
    if (jobState == AtomsWaiting) {
        jobState = AtomsRequested;
        atomsOutputText.clear();
        atomsOutputBytes.clear();
        atomsRun.start();
    } else if (hasInputRuns()) {
        jobState = FeffRunning;
        startNextInputRun();
    } else {
        runFeff();
    }
}

void Job::reStartFeff()
{
    if (!canRestartFeff())
        return;
    clearFeffOutput();
    jobState = FeffPending;
    waitingForPlace = true;
    if (!hasInputRuns()) {
        emit startRequested();
        return;
    }
    // Every input runs again from the feff.inp in its directory, each from the queue.
    inputRuns->rewind();
    for (int i = 0; i < inputRuns->size(); ++i)
        emit startRequested();
}

void Job::stop()
{
    if (jobState == FeffRunning && hasInputRuns()) {
        for (int i = 0; i < inputRuns->size(); ++i) {
            InputRuns::Run &run = inputRuns->at(i);
            if (run.state == InputRuns::State::Waiting) {
                run.state = InputRuns::State::Failed;
                run.outcome = Outcome::Stopped;
                emit log(demeterTr("Skipped by the user: %1").arg(run.dir));
            } else if (run.state == InputRuns::State::Running) {
                emit log(demeterTr("%1 stopped by the user in %2").arg("FeFF", run.dir));
                run.program.stop();
            }
        }
        waitingForPlace = false;
        emit skipRequested();
        inputRunOver();
        return;
    }
    if (atomsRun.isActive()) {
        emit log(demeterTr("%1 stopped by the user in %2").arg("Atoms", workDir));
        atomsRun.stop();
    } else if (feffRun.isActive()) {
        emit log(demeterTr("%1 stopped by the user in %2").arg("FeFF", workDir));
        feffRun.stop();
    } else if (waitingForPlace && (jobState == AtomsWaiting || jobState == FeffPending)) {
        waitingForPlace = false;
        emit skipRequested();
        jobState = Finished;
        finish(Outcome::Skipped, demeterTr("Skipped by the user: %1").arg(inputPath()));
        emit log(reason);
    }
}

// The chi.dat of an earlier good run stands for this one when nothing it came from has
// changed: the input, the programs and their arguments, feff.inp and chi.dat itself.
bool Job::startsFromResume()
{
    RunRecord record;
    if (!record.read(workDir) || !record.sameRunAs(currentRun()))
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
    started = record.started;
    seconds = record.seconds;
    atomsExit = jobKind == AtomsInput ? 0 : -1;
    feffExit = record.exitCode;
    jobState = Finished;
    if (jobKind == AtomsInput)
        atomsStatus = Status::Finished;
    feffStatus = Status::Finished;
    emit statusChanged();
    finish(Outcome::Resumed, QString());
    emit newChi();
    return true;
}

RunRecord Job::currentRun() const
{
    RunRecord run;
    run.inputPath = inputPath();
    run.inputSha256 = fileSha256(inputFile.absoluteFilePath());
    if (jobKind == AtomsInput) {
        run.atomsProgram = atomsRun.program();
        run.atomsArguments = atomsRun.arguments();
    }
    run.feffProgram = feffRun.program();
    run.feffArguments = feffRun.arguments();
    return run;
}

void Job::runFeff()
{
    jobState = FeffRequested;
    // A feff.inp left by an earlier run, or by another input of the same name, is not
    // this job's: FEFF would compute something else and call it this input's result.
    if (!feffInpWritten) {
        setStatus(Program::Feff, Status::NotRunning);
        const QString why
            = demeterTr("FeFF not started in %1 : no feff.inp was written for it in this run")
                  .arg(workDir);
        emit log(why);
        jobState = Finished;
        giveBackSparePlace();
        finish(Outcome::CannotStart, why);
        return;
    }
    removeFeffDatFiles(workDir);
    QDir::setCurrent(workDir);
    const QString chiPath = joinPath(workDir, "chi.dat");
    chiBeforeRun = FileStamp::of(chiPath);
    feffInpSha = fileSha256(joinPath(workDir, "feff.inp"));
    feffRun.start();
}

// Each input gets its directory and its feff.inp; the first run takes the place Atoms
// held, the others queue for theirs behind the jobs already waiting.
void Job::startInputRuns(const QVector<ConvertedInput> &inputs)
{
    jobState = FeffRunning;
    for (const ConvertedInput &input : inputs) {
        const int index = inputRuns->size();
        InputRuns::Run &run
            = inputRuns->add(input.name, input.weight, joinPath(workDir, input.name));
        if (!QDir(QDir::currentPath()).mkpath(run.dir))
            emit log(demeterTr("Can not create the working directory %1").arg(run.dir));
        else
            run.feffInpWritten
                = replaceFeffInp(run.dir, input.text, demeterTr("Can not open feff.inp for %1"));
        run.program.configure(
            nativePath(settings.feffExe), settings.feffArgs, settings.environment, run.dir);
        run.program.setTimeLimit(settings.feffTimeout);
        connect(&run.program, &ProgramRun::running, this, [this] {
            takePlace();
            setStatus(Program::Feff, Status::Running);
        });
        connect(&run.program, &ProgramRun::failedToStart, this,
            [this, index](const QString &why, bool transient) {
                inputRunFailedToStart(index, why, transient);
            });
        connect(&run.program, &ProgramRun::output, this, [this, index](const QByteArray &bytes) {
            const QString text = decodeOutputLines(bytes);
            inputRuns->at(index).trouble.add(text);
            showFeffOutput(text);
        });
        connect(&run.program, &ProgramRun::ended, this,
            [this, index](const ProgramRun::End &end) { inputRunEnded(index, end); });
    }
    emit log(demeterTr("%1 FEFF inputs for %2 : %3")
                 .arg(inputRuns->size())
                 .arg(workDir, inputRuns->names().join(", ")));
    startNextInputRun();
    waitingForPlace = inputRuns->count(InputRuns::State::Waiting) > 0;
    for (int i = 1; i < inputRuns->size(); ++i)
        emit startRequested();
}

// Starts the first waiting run. One that cannot start ends at once, and the queue goes on
// to its next entry, as for any program that cannot start.
void Job::startNextInputRun()
{
    InputRuns::Run *run = inputRuns->nextWaiting();
    if (!run)
        return;
    run->state = InputRuns::State::Running;
    waitingForPlace = inputRuns->count(InputRuns::State::Waiting) > 0;
    if (!run->feffInpWritten) {
        emit log(demeterTr("FeFF not started in %1 : no feff.inp was written for it in this run")
                     .arg(run->dir));
        run->state = InputRuns::State::Failed;
        run->outcome = Outcome::CannotStart;
        giveBackSparePlace();
        inputRunOver();
        return;
    }
    removeFeffDatFiles(run->dir);
    run->chiBefore = FileStamp::of(run->chiPath());
    run->program.start();
}

void Job::inputRunFailedToStart(int index, const QString &why, bool transient)
{
    InputRuns::Run &run = inputRuns->at(index);
    giveBackSparePlace();
    if (transient) {
        emit log(demeterTr("Can not start %1 now (%2) : tried again when a program ends")
                     .arg(run.program.program(), why));
        run.state = InputRuns::State::Waiting;
        waitingForPlace = true;
        emit startDeferred();
        return;
    }
    emit log(demeterTr("Can not start %1 : %2").arg(run.program.program(), why));
    run.state = InputRuns::State::Failed;
    run.outcome = Outcome::CannotStart;
    inputRunOver();
}

// A run's result is a chi.dat it wrote in its directory, as for a job of one input.
void Job::inputRunEnded(int index, const ProgramRun::End &end)
{
    releasePlace();
    InputRuns::Run &run = inputRuns->at(index);
    run.exitCode = end.crashed ? -1 : end.exitCode;
    run.signal = end.signal;
    run.outcome = outcomeOf(end);
    const QString why = reportAbnormalEnd(end, "FeFF", run.dir);
    for (const QString &line : run.trouble.finish())
        emit log(demeterTr("FeFF in %1 : %2").arg(run.dir, line));
    run.state = InputRuns::State::Failed;
    if (why.isEmpty()) {
        QString unread;
        if (FileStamp::of(run.chiPath()) == run.chiBefore) {
            emit log(demeterTr("FeFF wrote no new chi.dat in %1").arg(run.dir));
            run.outcome = Outcome::NoChi;
        } else if (!run.chi.read(run.chiPath(), &unread)) {
            emit log(demeterTr("chi.dat in %1 holds no data").arg(run.dir));
            run.outcome = Outcome::NoChi;
        } else {
            run.state = InputRuns::State::Good;
        }
    }
    inputRunOver();
}

void Job::inputRunOver()
{
    emit statusChanged();
    if (jobState == FeffRunning && inputRuns->allEnded())
        finishInputRuns();
}

// All runs have ended: their weighted average becomes the job's chi.dat. A run without a
// result leaves the job without one, unless AVERAGE_PARTIAL lets the others make it.
void Job::finishInputRuns()
{
    jobState = Finished;
    waitingForPlace = false;
    const QStringList missing = inputRuns->names(InputRuns::State::Failed);
    const int total = inputRuns->size();
    Outcome firstFailure = Outcome::Ok;
    for (int i = 0; i < total && firstFailure == Outcome::Ok; ++i) {
        const InputRuns::Run &run = inputRuns->at(i);
        if (run.state == InputRuns::State::Failed) {
            firstFailure = run.outcome;
            feffExit = run.exitCode;
            lastSignal = run.signal;
        }
    }
    if (!missing.isEmpty() && (!settings.averagePartial || missing.size() == total)) {
        failInputRuns(firstFailure,
            demeterTr("No average of the FeFF runs in %1 : %2 of %3 gave no chi(k) (%4)")
                .arg(workDir)
                .arg(missing.size())
                .arg(total)
                .arg(missing.join(", ")));
        return;
    }
    QVector<WeightedChi> good;
    for (int i = 0; i < total; ++i) {
        InputRuns::Run &run = inputRuns->at(i);
        if (run.state == InputRuns::State::Good)
            good << WeightedChi { run.name, run.weight, run.chi };
        run.chi = ChiColumns();
    }
    ChiAverage average;
    QString why;
    const QString chiPath = joinPath(workDir, "chi.dat");
    if (!average.compute(good, &why)) {
        failInputRuns(
            Outcome::NoChi, demeterTr("No average of the FeFF runs in %1 : %2").arg(workDir, why));
        return;
    }
    // A chi.dat that is no average (FEFF's, for the job's own feff.inp) is kept aside.
    const QString title = QStringLiteral("Orbelin average of the FEFF runs of ");
    QFile earlier(chiPath);
    if (earlier.open(QIODevice::ReadOnly)
        && !earlier.read(title.size() + 2).startsWith(("# " + title).toUtf8())) {
        earlier.close();
        const QString backup = numberedBackupName(chiPath);
        if (!QFile::rename(chiPath, backup)) {
            failInputRuns(Outcome::NoChi,
                demeterTr("Can not write %1 : %2").arg(backup, earlier.errorString()));
            return;
        }
        emit log(demeterTr("Kept the earlier chi.dat of %1 as %2").arg(workDir, backup));
    }
    QString error;
    if (!writeFileAtomically(chiPath, average.fileText(title + inputPath(), missing), &error)) {
        failInputRuns(Outcome::NoChi, demeterTr("Can not write %1 : %2").arg(chiPath, error));
        return;
    }
    chiData.read(chiPath);
    if (!chiData.valid) {
        failInputRuns(Outcome::NoChi, demeterTr("chi.dat in %1 holds no data").arg(workDir));
        return;
    }
    if (!missing.isEmpty())
        emit log(demeterTr("Average of %1 of %2 FeFF runs written to %3 ; missing: %4")
                     .arg(total - missing.size())
                     .arg(total)
                     .arg(chiPath, missing.join(", ")));
    setStatus(Program::Feff, Status::Finished);
    finish(Outcome::Ok, QString());
    emit newChi();
}

void Job::failInputRuns(Outcome outcome, const QString &why)
{
    emit log(why);
    endWithoutChi(outcome, why);
}

void Job::clearFeffOutput()
{
    feffTail.clear();
    feffOutputColumn = 0;
    emit feffOutputCleared();
}

// Whatever FEFF left in chi.dat is no result: the job shows no curve and fails.
void Job::endWithoutChi(Outcome outcome, const QString &why)
{
    const bool hadCurve = chiData.valid;
    chiData.reset();
    setStatus(Program::Feff, Status::Failed);
    if (hadCurve)
        emit chiCleared();
    finish(outcome, why);
}

void Job::takePlace()
{
    if (sparePlace) {
        sparePlace = false;
        return;
    }
    ++placesHeld;
    emit procStarted();
}

void Job::releasePlace()
{
    if (placesHeld == 0)
        return;
    --placesHeld;
    emit procStopped();
}

// The place Atoms handed over goes back when its FEFF run does not start.
void Job::giveBackSparePlace()
{
    if (!sparePlace)
        return;
    sparePlace = false;
    releasePlace();
}

void Job::finish(Outcome outcome, const QString &why)
{
    lastOutcome = outcome;
    // A status field shows the reason of its failure: the status is told again with it.
    const bool newReason = reason != why;
    reason = why;
    if (newReason)
        emit statusChanged();
    if (outcome != Outcome::Resumed && clock.isValid())
        seconds = clock.elapsed() / 1000.0;
    emit ended();
}

void Job::startFailed(Program program, const QString &why, bool transient)
{
    const bool atoms = program == Program::Atoms;
    const QString name = atoms ? atomsRun.program() : feffRun.program();
    setStatus(program, Status::NotRunning);
    if (transient) {
        // No file descriptors or processes to spare now: the job waits for a place again.
        emit log(demeterTr("Can not start %1 now (%2) : tried again when a program ends")
                     .arg(name, why));
        jobState = atoms ? AtomsWaiting : FeffPending;
        waitingForPlace = true;
        giveBackSparePlace();
        emit startDeferred();
        return;
    }
    const QString line = demeterTr("Can not start %1 : %2").arg(name, why);
    emit log(line);
    giveBackSparePlace();
    // A converter or FEFF that cannot start leaves the job where it was, as it always did.
    jobState = atoms ? AtomsStarting : FeffStarting;
    finish(Outcome::CannotStart, line);
}

void Job::atomsEnded(const ProgramRun::End &end)
{
    atomsExit = end.crashed ? -1 : end.exitCode;
    lastSignal = end.signal;
    jobState = FeffPending;
    QString why = reportAbnormalEnd(end, "Atoms", workDir);
    if (!why.isEmpty() && !end.crashed && !end.timedOut && !end.stopped)
        why = withConverterMessage(why);
    const int marker = atomsOutputBytes.indexOf(feffInpMarker.toLatin1());
    const FeffInputs split = why.isEmpty() ? FeffInputs::split(atomsOutputBytes) : FeffInputs();
    if (!split.error.isEmpty()) {
        why = demeterTr("Atoms printed FEFF inputs that can not be told apart in %1 : %2")
                  .arg(workDir, split.error);
        emit log(why);
    } else if (why.isEmpty() && marker < 0) {
        why = demeterTr("Atoms printed no FEFF input (no line with the marker \" * This\") in %1")
                  .arg(workDir);
        emit log(why);
    }
    // A converter that failed leaves the previous feff.inp alone, and FEFF does not run.
    if (!why.isEmpty()) {
        setStatus(Program::Atoms, Status::Failed);
        jobState = Finished;
        releasePlace();
        finish(end.normal() ? Outcome::NoChi : outcomeOf(end), why);
        return;
    }
    // feff.inp keeps the converter's bytes from the marker on (a lone input's, from its
    // marker to its END).
    feffInpCodec = QTextCodec::codecForName("UTF-8");
    inputRuns->clear();
    if (split.inputs.size() <= 1)
        replaceFeffInp(workDir,
            split.inputs.isEmpty() ? atomsOutputBytes.mid(marker) : split.inputs.first().text,
            demeterTr("Can not open feff.inp for %1"));
    atomsOutputBytes.clear();
    if (!keepOutput)
        atomsOutputText = QString();
    setStatus(Program::Atoms, Status::Finished);
    // The place Atoms held goes straight to FEFF: no other job can take it in between.
    sparePlace = placesHeld > 0;
    if (split.inputs.size() > 1)
        startInputRuns(split.inputs);
    else
        runFeff();
}

Job::Outcome Job::outcomeOf(const ProgramRun::End &end)
{
    return end.timedOut     ? Outcome::Timeout
        : end.stopped       ? Outcome::Stopped
        : end.crashed       ? Outcome::Crashed
        : end.exitCode != 0 ? Outcome::ExitCode
                            : Outcome::Ok;
}

// A converter that ends with an error status names the error in its last line (for an
// option it does not take, too); the log and the failure reason carry that line.
QString Job::withConverterMessage(const QString &why)
{
    const QStringList lines = atomsOutputText.split(QLatin1Char('\n'));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString last = it->trimmed();
        if (last.isEmpty())
            continue;
        const QString line = demeterTr("Atoms in %1 : %2").arg(workDir, last.left(300));
        emit log(line);
        return why + QLatin1Char('\n') + line;
    }
    return why;
}

void Job::takeFeffOutput(const QByteArray &bytes)
{
    const QString text = decodeOutputLines(bytes);
    feffTrouble.add(text);
    showFeffOutput(text);
}

void Job::showFeffOutput(const QString &text)
{
    if (!keepOutput)
        return;
    // One endless line would be laid out anew with every piece that lengthens it.
    const QString shownText = breakLongLines(text, feffOutputWidthKept, &feffOutputColumn);
    feffTail.append(shownText);
    emit feffOutput(shownText);
}

void Job::feffEnded(const ProgramRun::End &end)
{
    releasePlace();
    feffExit = end.crashed ? -1 : end.exitCode;
    lastSignal = end.signal;
    jobState = Finished;
    const QString why = reportAbnormalEnd(end, "FeFF", workDir);
    for (const QString &line : feffTrouble.finish())
        emit log(demeterTr("FeFF in %1 : %2").arg(workDir, line));
    if (!why.isEmpty()) {
        endWithoutChi(outcomeOf(end), why);
        return;
    }
    readFeffResult();
}

// FEFF 6 exits with 0 even after a fatal input error and leaves an older chi.dat
// in place, so only a chi.dat rewritten by this run counts as its result.
void Job::readFeffResult()
{
    const QString chiPath = joinPath(workDir, "chi.dat");
    ChiData fresh;
    QString why;
    if (FileStamp::of(chiPath) == chiBeforeRun) {
        why = demeterTr("FeFF wrote no new chi.dat in %1").arg(workDir);
    } else {
        fresh.read(chiPath);
        if (!fresh.valid)
            why = demeterTr("chi.dat in %1 holds no data").arg(workDir);
    }
    if (!why.isEmpty()) {
        emit log(why);
        endWithoutChi(Outcome::NoChi, why);
        return;
    }
    chiData = std::move(fresh);
    setStatus(Program::Feff, Status::Finished);
    writeRecord();
    finish(Outcome::Ok, QString());
    emit newChi();
}

void Job::writeRecord()
{
    RunRecord record = currentRun();
    record.inputSha256 = inputSha;
    record.exitCode = feffExit;
    record.started = started;
    record.seconds = clock.elapsed() / 1000.0;
    record.feffInpSha256 = feffInpSha;
    record.chiSha256 = fileSha256(joinPath(workDir, "chi.dat"));
    record.chiPoints = chiData.kValues.size();
    QString error;
    if (!record.write(workDir, &error))
        emit log(demeterTr("Can not write %1 : %2")
                     .arg(joinPath(workDir, RunRecord::fileName()), error));
}

QString Job::reportAbnormalEnd(
    const ProgramRun::End &end, const QString &programName, const QString &dir)
{
    QString line;
    if (end.timedOut)
        line = demeterTr("%1 stopped after its time limit of %2 s in %3")
                   .arg(programName)
                   .arg(programName == "Atoms" ? settings.atomsTimeout : settings.feffTimeout)
                   .arg(dir);
    else if (end.stopped)
        line = demeterTr("%1 stopped by the user in %2").arg(programName, dir);
    else if (end.crashed)
        line = demeterTr("%1 crashed in %2").arg(programName, dir);
    else if (end.exitCode != 0)
        line = demeterTr("%1 ended with exit code %2 in %3")
                   .arg(programName, QString::number(end.exitCode), dir);
    // A stop was logged when it was asked for.
    if (!line.isEmpty() && !end.stopped)
        emit log(line);
    return line;
}

// Writes feff.inp in place of the one there. A feff.inp that is not the one the last good
// run recorded (the user edited it) is kept as feff.inp.~N~, with its chi.dat; one whose
// owner took away the write permissions is not replaced.
bool Job::replaceFeffInp(const QString &dir, const QByteArray &bytes, const QString &openFailure)
{
    const QString path = joinPath(dir, "feff.inp");
    const QFileInfo existing(path);
    if (existing.exists()) {
        if (!existing.isFile() || isWriteProtected(path)) {
            emit log(openFailure.arg(path));
            return false;
        }
        QFile old(path);
        const QByteArray oldBytes
            = existing.size() <= largestInputBytes && old.open(QIODevice::ReadOnly) ? old.readAll()
                                                                                    : QByteArray();
        if (oldBytes == bytes && existing.size() == bytes.size()) {
            feffInpWritten = true;
            feffInpFromUpdate = false;
            return true;
        }
        RunRecord record;
        const QString oldSha = sha256Hex(oldBytes);
        const bool recorded = (record.read(dir) && record.feffInpSha256 == oldSha)
            || (dir == workDir && recordedFeffInpSha == oldSha);
        if (!recorded && !oldBytes.isEmpty()) {
            int number = 0;
            const QString backup = numberedBackupName(path, &number);
            if (!QFile::copy(path, backup)) {
                emit log(demeterTr("Can not write %1 : %2").arg(backup, old.errorString()));
                return false;
            }
            const QString chiPath = joinPath(dir, "chi.dat");
            if (QFileInfo::exists(chiPath))
                QFile::copy(chiPath, QStringLiteral("%1.~%2~").arg(chiPath).arg(number));
            emit log(demeterTr("Kept the edited feff.inp of %1 as %2").arg(dir, backup));
        }
    }
    QString error;
    bool opened = false;
    if (!writeFileAtomically(path, bytes, &error, &opened)) {
        emit log(
            opened ? demeterTr("Can not write %1 : %2").arg(path, error) : openFailure.arg(path));
        return false;
    }
    feffInpWritten = true;
    feffInpFromUpdate = false;
    return true;
}

bool Job::writeFeffInp(const QString &atomsAreaText)
{
    if (hasInputRuns()) {
        emit log(demeterTr("The %1 FEFF inputs of %2 are in its subdirectories (%3): edit those, "
                           "then restart")
                     .arg(inputRuns->size())
                     .arg(workDir, inputRuns->names().join(", ")));
        return false;
    }
    const QString text = textFromMarker(atomsAreaText);
    QTextCodec *codec = feffInpCodec ? feffInpCodec : fileTextCodec();
    const QString path = joinPath(workDir, "feff.inp");
    if (QFileInfo(path).isDir() || isWriteProtected(path)) {
        emit log(demeterTr("Can not open feff.inp for %1").arg(path));
        return false;
    }
    QString error;
    bool opened = false;
    if (!writeFileAtomically(path, codec->fromUnicode(text), &error, &opened)) {
        emit log(opened ? demeterTr("Can not write %1 : %2").arg(path, error)
                        : demeterTr("Can not open feff.inp for %1").arg(path));
        return false;
    }
    feffInpWritten = true;
    updatedAreaText = atomsAreaText;
    feffInpFromUpdate = true;
    return true;
}

QString Job::feffInpSourceText() const
{
    return feffInpFromUpdate ? updatedAreaText : atomsOutputText;
}

// For messages from inside the constructor, before anything listens to log(): they are
// delivered from the event loop once the job has been wired up, or when it starts,
// whichever comes first.
void Job::logLater(const QString &msg)
{
    if (pendingLog.isEmpty())
        QMetaObject::invokeMethod(this, &Job::flushPendingLog, Qt::QueuedConnection);
    pendingLog << msg;
}

void Job::flushPendingLog()
{
    const QStringList messages = pendingLog;
    pendingLog.clear();
    for (const QString &msg : messages)
        emit log(msg);
}

// The FEFF input is copied byte for byte; the Atoms area shows it decoded (UTF-8 when it
// is valid UTF-8, Shift-JIS otherwise) under its header line.
void Job::prepareFeffInpFile()
{
    const QString sourcePath = inputFile.canonicalFilePath();
    QFile source(sourcePath);
    const QFileInfo sourceInfo(sourcePath);
    if (sourcePath.isEmpty() || !sourceInfo.isFile() || sourceInfo.size() > largestInputBytes
        || !source.open(QIODevice::ReadOnly)) {
        // A file that is gone has no canonical path; name the one the user gave.
        logLater(demeterTr("Can not open feff input file : %1 to read.")
                     .arg(sourcePath.isEmpty() ? inputFile.absoluteFilePath() : sourcePath));
        return;
    }
    // Read before the target is written: the input may itself be this job's feff.inp.
    const QByteArray bytes = source.readAll();
    if (source.error() != QFile::NoError) {
        logLater(demeterTr("Can not open feff input file : %1 to read.").arg(sourcePath));
        return;
    }
    source.close();
    feffInpCodec = codecOfUserText(bytes);
    // Messages of the copy wait for the job to be wired, as any from the constructor.
    QStringList messages;
    const QMetaObject::Connection collect
        = connect(this, &Job::log, this, [&messages](const QString &msg) { messages << msg; });
    replaceFeffInp(workDir, bytes, demeterTr("Can not open feff input file : %1 to write."));
    disconnect(collect);
    for (const QString &msg : qAsConst(messages))
        logLater(msg);
    atomsOutputText = copiedHeaderLine + displayText(bytes, feffInpCodec);
}

void Job::showProcs() const
{
    qDebug() << "Atoms:";
    qDebug() << atomsRun.program();
    qDebug() << atomsRun.arguments();
    qDebug() << "FeFF:";
    qDebug() << feffRun.program();
    qDebug() << feffRun.arguments();
}
