#include "job.h"

#include "feffrunset.h"
#include "inputoptions.h"
#include "jobfiles.h"
#include "runrecord.h"
#include "workdirs.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

namespace {

const int feffOutputLinesKept = 10000;
const int feffOutputWidthKept = 1000;

// The job's texts belong to the row's translation context, where the catalogue has them.
QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

QString claimedDir(WorkDirs *workDirs, const QString &resFiles, const QString &baseName)
{
    if (workDirs)
        return workDirs->claim(resFiles, baseName);
    WorkDirs own;
    return own.claim(resFiles, baseName);
}

} // namespace

Job::Job(const RunSettings *runSettings, const QFileInfo &file, int kind, QObject *parent,
    WorkDirs *workDirs)
    : QObject(parent)
    , settings(*runSettings)
    , inputFile(file)
    , baseName(file.completeBaseName())
    , workDir(claimedDir(workDirs, runSettings->resFiles, file.completeBaseName()))
    , jobKind(kind)
    , jobState(kind)
    , commands(*runSettings, file)
    , writer(workDir, [this](const QString &msg) { logLater(msg); })
    , feffRuns(std::make_unique<FeffRunSet>(settings, workDir))
{
    feffArea.tail = OutputTail(feffOutputLinesKept);
    if (!QDir(QDir::currentPath()).mkpath(workDir))
        logLater(demeterTr("Can not create the working directory %1").arg(workDir));
    if (jobKind == AtomsInput) {
        const QString optionsMessage = commands.readOwnOptions();
        if (!optionsMessage.isEmpty())
            logLater(optionsMessage);
        convert = std::make_unique<ConvertStep>();
        convert->setDirectory(workDir, settings.atomsTimeout);
        configureConverter();
        wireConverter();
    }
    feffRuns->setSingle();
    wireFeffRuns();
    if (kind == FeffInput)
        prepareFeffInpFile();
    writer.setLog([this](const QString &msg) { emit log(msg); });
}

Job::~Job() = default;

void Job::configureConverter()
{
    convert->program().configure(
        commands.atomsProgram(), commands.atomsArguments(), settings.environment, workDir);
}

void Job::wireConverter()
{
    ProgramRun *program = &convert->program();
    connect(program, &ProgramRun::starting, this, [this] {
        jobState = AtomsStarting;
        setStatus(Program::Atoms, Status::Starting);
    });
    connect(program, &ProgramRun::running, this, [this] {
        takePlace();
        jobState = AtomsRunning;
        setStatus(Program::Atoms, Status::Running);
    });
    connect(program, &ProgramRun::failedToStart, this, [this](const QString &why, bool transient) {
        Problem problem;
        problem.kind = transient ? Problem::Kind::CannotStartNow : Problem::Kind::CannotStart;
        problem.program = Program::Atoms;
        problem.path = convert->program().program();
        problem.detail = why;
        if (!convert->program().shortageTold())
            emit log(problem.text());
        setStatus(Program::Atoms, Status::NotRunning);
        if (transient) {
            jobState = AtomsWaiting;
            places.waiting = true;
            emit startDeferred();
            return;
        }
        // A converter that cannot start leaves the job where it was, as it always did.
        jobState = AtomsStarting;
        finish(Outcome::CannotStart, problem);
    });
    connect(convert.get(), &ConvertStep::output, this, &Job::atomsOutput);
    connect(convert.get(), &ConvertStep::log, this, &Job::log);
    connect(convert.get(), &ConvertStep::ended, this, &Job::converterEnded);
}

void Job::wireFeffRuns()
{
    FeffRunSet *runs = feffRuns.get();
    connect(runs, &FeffRunSet::starting, this, [this] {
        if (feffRuns->isAverage())
            return;
        jobState = FeffStarting;
        setStatus(Program::Feff, Status::Starting);
    });
    connect(runs, &FeffRunSet::running, this, [this] {
        takePlace();
        if (!feffRuns->isAverage())
            jobState = FeffRunning;
        setStatus(Program::Feff, Status::Running);
    });
    connect(runs, &FeffRunSet::programEnded, this, &Job::releasePlace);
    connect(runs, &FeffRunSet::startDeferred, this, [this] {
        giveBackSparePlace();
        places.waiting = true;
        if (!feffRuns->isAverage()) {
            setStatus(Program::Feff, Status::NotRunning);
            jobState = FeffPending;
        }
        emit startDeferred();
    });
    connect(runs, &FeffRunSet::output, this, &Job::showFeffOutput);
    connect(runs, &FeffRunSet::log, this, &Job::log);
    connect(runs, &FeffRunSet::runOver, this, [this](int index) {
        const Problem::Kind kind = feffRuns->at(index).problem.kind;
        // A run that never ran gives back the place Atoms handed it.
        if (kind == Problem::Kind::NoFeffInp || kind == Problem::Kind::CannotStart)
            giveBackSparePlace();
        runOver();
    });
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
    commands.setOwnOptions(splitArgs(line));
    configureConverter();
    const QStringList own = commands.ownOptions();
    emit log(own.isEmpty()
            ? demeterTr("Removed %1 : the converter of %2 takes the options of ATOMS_ARG alone")
                  .arg(path, inputPath())
            : demeterTr("Saved the converter options of %1 in %2 : %3")
                  .arg(inputPath(), path, own.join(QLatin1Char(' '))));
    // The job runs from the start, as a new one: its earlier output and result were made
    // with the options before.
    clearFeffOutput();
    convert->clearOutput();
    emit atomsOutputCleared();
    atomsStatus = feffStatus = Status::NotRunning;
    emit statusChanged();
    if (chiData.valid) {
        chiData.reset();
        emit chiCleared();
    }
    jobState = AtomsWaiting;
    if (!places.waiting) {
        places.waiting = true;
        emit startRequested();
    }
    return true;
}

QString Job::statusText(Program program) const
{
    const Status current = status(program);
    if (program == Program::Feff && current == Status::Running && feffRuns->isAverage())
        return demeterTr("F. Running %1/%2").arg(feffRuns->started()).arg(feffRuns->size());
    return statusText(program, current);
}

int Job::feffRunCount() const { return feffRuns->size(); }

bool Job::isRunning() const
{
    return (convert && convert->program().isActive()) || feffRuns->isActive();
}

Job::Status Job::status(Program program) const
{
    return program == Program::Atoms ? atomsStatus : feffStatus;
}

void Job::setStatus(Program program, Status status)
{
    (program == Program::Atoms ? atomsStatus : feffStatus) = status;
    emit statusChanged();
}

int Job::feffLinesKept() { return feffOutputLinesKept; }

void Job::setKeepOutput(bool keep)
{
    feffArea.keep = keep;
    if (!keep && jobKind == FeffInput)
        copiedText = QString();
}

QString Job::atomsText() const { return convert ? convert->outputText() : copiedText; }

void Job::clearFeffOutput()
{
    feffArea.tail.clear();
    feffArea.column = 0;
    emit feffOutputCleared();
}

void Job::showFeffOutput(const QString &text)
{
    if (!feffArea.keep)
        return;
    // One endless line would be laid out anew with every piece that lengthens it.
    const QString shownText = breakLongLines(text, feffOutputWidthKept, &feffArea.column);
    feffArea.tail.append(shownText);
    emit feffOutput(shownText);
}

bool Job::writeFeffInp(const QString &atomsAreaText)
{
    if (feffRuns->isAverage()) {
        emit log(demeterTr("The %1 FEFF inputs of %2 are in its subdirectories (%3): edit those, "
                           "then restart")
                     .arg(feffRuns->size())
                     .arg(workDir, feffRuns->names().join(", ")));
        return false;
    }
    return writer.writeFromArea(atomsAreaText);
}

QString Job::feffInpSourceText() const
{
    return writer.sourceText(convert ? convert->outputText() : copiedText);
}

// The FEFF input is copied byte for byte; the Atoms area shows it decoded (UTF-8 when it
// is valid UTF-8, Shift-JIS otherwise) under its header line.
void Job::prepareFeffInpFile()
{
    const QString sourcePath = inputFile.canonicalFilePath();
    writer.copyInput(sourcePath, inputFile.absoluteFilePath(), &copiedText);
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

void Job::showProcs() const
{
    qDebug() << "Atoms:";
    qDebug() << (convert ? convert->program().program() : QString());
    qDebug() << (convert ? convert->program().arguments() : QStringList());
    qDebug() << "FeFF:";
    qDebug() << feffRuns->at(0).program.program();
    qDebug() << feffRuns->at(0).program.arguments();
}
