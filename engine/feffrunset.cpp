#include "feffrunset.h"

#include "jobfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

Problem problemIn(Problem::Kind kind, const QString &dir)
{
    Problem p;
    p.kind = kind;
    p.dir = dir;
    return p;
}

} // namespace

QString FeffRunSet::Run::chiPath() const { return joinPath(dir, "chi.dat"); }

FeffRunSet::FeffRunSet(const RunSettings &runSettings, const QString &dir, QObject *parent)
    : QObject(parent)
    , settings(runSettings)
    , workDir(dir)
{
}

void FeffRunSet::setSingle()
{
    runs.clear();
    addRun(QString(), 1, workDir);
}

FeffRunSet::Run &FeffRunSet::addRun(const QString &name, double weight, const QString &dir)
{
    runs.push_back(std::make_unique<Run>());
    Run &run = *runs.back();
    run.name = name;
    run.weight = weight;
    run.dir = dir;
    run.program.configure(
        nativePath(settings.feffExe), settings.feffArgs, settings.environment, run.dir);
    run.program.setTimeLimit(settings.feffTimeout);
    return run;
}

void FeffRunSet::wire(int index)
{
    ProgramRun *program = &at(index).program;
    connect(program, &ProgramRun::starting, this, &FeffRunSet::starting);
    connect(program, &ProgramRun::running, this, &FeffRunSet::running);
    connect(program, &ProgramRun::failedToStart, this,
        [this, index](
            const QString &why, bool transient) { failedToStart(index, why, transient); });
    connect(program, &ProgramRun::output, this, [this, index](const QByteArray &bytes) {
        const QString text = decodeOutputLines(bytes);
        at(index).trouble.add(text);
        emit output(text);
    });
    connect(program, &ProgramRun::ended, this,
        [this, index](const ProgramRun::End &end) { ended(index, end); });
}

int FeffRunSet::count(State state) const
{
    int n = 0;
    for (const auto &run : runs)
        n += run->state == state;
    return n;
}

QStringList FeffRunSet::names() const
{
    QStringList list;
    for (const auto &run : runs)
        list << run->name;
    return list;
}

QStringList FeffRunSet::names(State state) const
{
    QStringList list;
    for (const auto &run : runs)
        if (run->state == state)
            list << run->name;
    return list;
}

void FeffRunSet::rewind()
{
    for (const auto &run : runs) {
        run->state = State::Waiting;
        run->outcome = JobCodes::Outcome::None;
        run->problem = Problem();
        run->warnings.clear();
        run->exitCode = -1;
        run->signal = 0;
    }
}

void FeffRunSet::fail(Run &run, JobCodes::Outcome outcome, const Problem &problem)
{
    run.state = State::Failed;
    run.outcome = outcome;
    run.problem = problem;
}

void FeffRunSet::startNext()
{
    int index = 0;
    while (index < size() && at(index).state != State::Waiting)
        ++index;
    if (index == size())
        return;
    Run &run = at(index);
    run.state = State::Running;
    // A feff.inp left by an earlier run, or by another input of the same name, is not
    // this job's: FEFF would compute something else and call it this input's result.
    if (!run.feffInpWritten) {
        const Problem problem = problemIn(Problem::Kind::NoFeffInp, run.dir);
        emit log(problem.text());
        fail(run, JobCodes::Outcome::CannotStart, problem);
        emit runOver(index);
        return;
    }
    removeFeffDatFiles(run.dir);
    if (!isAverage())
        QDir::setCurrent(run.dir);
    run.chiBefore = FileStamp::of(run.chiPath());
    // Wired at its first start: a batch of thousands holds most of its runs unstarted.
    if (!run.wired) {
        wire(index);
        run.wired = true;
    }
    run.program.start();
}

void FeffRunSet::failedToStart(int index, const QString &why, bool transient)
{
    Run &run = at(index);
    Problem problem;
    problem.kind = transient ? Problem::Kind::CannotStartNow : Problem::Kind::CannotStart;
    problem.path = run.program.program();
    problem.detail = why;
    problem.dir = run.dir;
    if (!run.program.shortageTold())
        emit log(problem.text());
    if (transient) {
        // No file descriptors or processes to spare now: the run waits for a place again.
        run.state = State::Waiting;
        emit startDeferred(problem);
        return;
    }
    fail(run, JobCodes::Outcome::CannotStart, problem);
    emit runOver(index);
}

// FEFF 6 exits with 0 even after a fatal input error and leaves an older chi.dat in place,
// so only a chi.dat rewritten by this run counts as its result.
void FeffRunSet::ended(int index, const ProgramRun::End &end)
{
    emit programEnded();
    Run &run = at(index);
    // Nothing more comes from the program until it starts again.
    disconnect(&run.program, nullptr, this, nullptr);
    run.wired = false;
    run.exitCode = end.crashed ? -1 : end.exitCode;
    run.signal = end.signal;
    Problem problem = end.problem(JobCodes::Program::Feff, run.dir, settings.feffTimeout);
    // A stop was logged when it was asked for.
    if (!problem.isNone() && !end.stopped)
        emit log(problem.text());
    run.warnings.clear();
    for (const QString &line : run.trouble.finish()) {
        run.warnings << demeterTr("FeFF in %1 : %2").arg(run.dir, line);
        emit log(run.warnings.last());
    }
    if (!problem.isNone()) {
        fail(run, end.outcome(), problem);
    } else if (FileStamp::of(run.chiPath()) == run.chiBefore) {
        problem = problemIn(Problem::Kind::NoNewChi, run.dir);
        emit log(problem.text());
        fail(run, JobCodes::Outcome::NoChi, problem);
    } else {
        problem = readResult(run);
        if (problem.isNone()) {
            run.state = State::Good;
            run.outcome = JobCodes::Outcome::Ok;
        } else {
            emit log(problem.text());
            fail(run, JobCodes::Outcome::NoChi, problem);
        }
    }
    emit runOver(index);
}

QStringList FeffRunSet::warnings() const
{
    QStringList lines;
    for (const auto &run : runs)
        lines += run->warnings;
    return lines;
}

// The new chi.dat of a run: a curve, or why it gives none. A value that is not finite
// spoils the whole file: its rows left out, the curve would have a gap that looks like data.
Problem FeffRunSet::readResult(Run &run)
{
    QString why;
    bool openFailed = false;
    int notFinite = 0;
    bool good = false;
    if (isAverage()) {
        good = run.columns.read(run.chiPath(), &why);
        openFailed = run.columns.openFailed;
        notFinite = run.columns.notFinite;
    } else {
        run.chi.read(run.chiPath());
        why = run.chi.openError;
        openFailed = !why.isEmpty();
        notFinite = run.chi.notFinite;
        good = run.chi.valid && notFinite == 0;
        if (!good)
            run.chi.reset();
    }
    Problem problem;
    if (good)
        return problem;
    problem.dir = run.dir;
    problem.path = run.chiPath();
    problem.kind = openFailed ? Problem::Kind::CannotOpen
        : notFinite > 0       ? Problem::Kind::ChiNotFinite
                              : Problem::Kind::NoChiData;
    problem.detail = why;
    problem.count = notFinite;
    return problem;
}

void FeffRunSet::stop()
{
    for (const auto &run : runs) {
        if (run->state == State::Waiting) {
            Problem problem = problemIn(Problem::Kind::SkippedByUser, run->dir);
            problem.path = run->dir;
            emit log(problem.text());
            fail(*run, JobCodes::Outcome::Stopped, problem);
        } else if (run->state == State::Running && run->program.isActive()) {
            emit log(problemIn(Problem::Kind::StoppedByUser, run->dir).text());
            run->program.stop();
        }
    }
}

bool FeffRunSet::writeAverage(const QString &inputPath, ChiData *chi, Problem *problem)
{
    const QStringList missing = names(State::Failed);
    QVector<WeightedChi> good;
    for (const auto &run : runs) {
        if (run->state == State::Good)
            good << WeightedChi { run->name, run->weight, run->columns };
        run->columns = ChiColumns();
    }
    ChiAverage average;
    QString why;
    const QString chiPath = joinPath(workDir, "chi.dat");
    if (!average.compute(good, &why)) {
        *problem = problemIn(Problem::Kind::NoAverage, workDir);
        problem->detail = why;
        return false;
    }
    auto cannotWrite = [problem](const QString &path, const QString &cause) {
        problem->kind = Problem::Kind::CannotWrite;
        problem->path = path;
        problem->detail = cause;
        return false;
    };
    // A chi.dat that is no average (FEFF's, for the job's own feff.inp) is kept aside.
    const QString title = QStringLiteral("Orbelin average of the FEFF runs of ");
    QFile earlier(chiPath);
    if (earlier.open(QIODevice::ReadOnly)
        && !earlier.read(title.size() + 2).startsWith(("# " + title).toUtf8())) {
        earlier.close();
        const QString backup = numberedBackupName(chiPath);
        if (!QFile::rename(chiPath, backup))
            return cannotWrite(backup, earlier.errorString());
        emit log(demeterTr("Kept the earlier chi.dat of %1 as %2").arg(workDir, backup));
    }
    QString error;
    if (!writeFileAtomically(chiPath, average.fileText(title + inputPath, missing), &error))
        return cannotWrite(chiPath, error);
    chi->read(chiPath);
    if (!chi->valid) {
        *problem = problemIn(Problem::Kind::NoChiData, workDir);
        return false;
    }
    if (!missing.isEmpty())
        emit log(demeterTr("Average of %1 of %2 FeFF runs written to %3 ; missing: %4")
                     .arg(size() - missing.size())
                     .arg(size())
                     .arg(chiPath, missing.join(", ")));
    return true;
}
