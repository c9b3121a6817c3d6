#include "job.h"

#include "textcodec.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextStream>

namespace {

const int feffOutputLinesKept = 10000;
const int feffOutputWidthKept = 1000;

// The job's texts belong to the row's translation context, where the catalogue has them.
QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

} // namespace

Job::Job(const RunSettings *runSettings, const QFileInfo &file, int kind, QObject *parent)
    : QObject(parent)
    , settings(*runSettings)
    , inputFile(file)
    , jobKind(kind)
    , jobState(kind)
    , feffTail(feffOutputLinesKept)
{
    baseName = inputFile.completeBaseName();
    workDir = claimWorkDir(settings.resFiles, baseName);
    if (!QDir(QDir::currentPath()).mkpath(workDir))
        logLater(demeterTr("Can not create the working directory %1").arg(workDir));
    configurePrograms();
    if (kind == FeffInput)
        prepareFeffInpFile();
}

void Job::configurePrograms()
{
    if (jobKind == AtomsInput) {
        QStringList args = settings.atomsArgs;
        args << "-c" << nativePath(inputFile.canonicalFilePath());
        atomsRun.configure(nativePath(settings.atomsExe), args, settings.environment, workDir);
        connect(&atomsRun, &ProgramRun::starting, this, [this] {
            jobState = AtomsStarting;
            setStatus(Program::Atoms, Status::Starting);
        });
        connect(&atomsRun, &ProgramRun::running, this, [this] {
            takePlace();
            jobState = AtomsRunning;
            setStatus(Program::Atoms, Status::Running);
        });
        connect(&atomsRun, &ProgramRun::output, this, [this](const QByteArray &bytes) {
            const QString text = decodeOutputLines(bytes);
            atomsOutputText += text;
            emit atomsOutput(text);
        });
        connect(&atomsRun, &ProgramRun::failedToStart, this, [this](const QString &reason) {
            setStatus(Program::Atoms, Status::NotRunning);
            emit log(demeterTr("Can not start %1 : %2").arg(atomsRun.program(), reason));
        });
        connect(&atomsRun, &ProgramRun::ended, this, &Job::atomsEnded);
    }

    feffRun.configure(
        nativePath(settings.feffExe), settings.feffArgs, settings.environment, workDir);
    connect(&feffRun, &ProgramRun::starting, this, [this] {
        jobState = FeffStarting;
        setStatus(Program::Feff, Status::Starting);
    });
    connect(&feffRun, &ProgramRun::running, this, [this] {
        takePlace();
        jobState = FeffRunning;
        setStatus(Program::Feff, Status::Running);
    });
    connect(&feffRun, &ProgramRun::output, this, &Job::takeFeffOutput);
    connect(&feffRun, &ProgramRun::failedToStart, this, [this](const QString &reason) {
        setStatus(Program::Feff, Status::NotRunning);
        emit log(demeterTr("Can not start %1 : %2").arg(feffRun.program(), reason));
        releasePlace();
    });
    connect(&feffRun, &ProgramRun::ended, this, &Job::feffEnded);
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
    }
    return QString();
}

void Job::setStatus(Program program, Status status)
{
    (program == Program::Atoms ? atomsStatus : feffStatus) = status;
    emit statusChanged();
}

void Job::setKeepOutput(bool keep)
{
    keepOutput = keep;
    if (!keep && jobKind == FeffInput)
        atomsOutputText = QString();
}

int Job::feffLinesKept() { return feffOutputLinesKept; }

QString Job::atomsText() const { return hasAtomsEdit ? atomsEdit : atomsOutputText; }

void Job::setAtomsEdit(const QString &text)
{
    atomsEdit = text;
    hasAtomsEdit = true;
}

void Job::setShown(bool show)
{
    if (show == shown)
        return;
    shown = show;
    emit showChanged();
}

void Job::setCurveColor(quint32 argb)
{
    if (argb == curveRgb)
        return;
    curveRgb = argb;
    emit colorChanged();
}

void Job::start()
{
    if (jobState == AtomsWaiting) {
        jobState = AtomsRequested;
        atomsRun.start();
    } else if (jobState == FeffPending) {
        runFeff();
    }
}

void Job::reStartFeff()
{
    if (jobState != Finished)
        return;
    feffTail.clear();
    feffOutputColumn = 0;
    emit feffOutputCleared();
    jobState = FeffPending;
    emit startRequested();
}

void Job::runFeff()
{
    jobState = FeffRequested;
    removeFeffDatFiles(workDir);
    QDir::setCurrent(workDir);
    chiBeforeRun = FileStamp::of(joinPath(workDir, "chi.dat"));
    feffRun.start();
}

void Job::takePlace()
{
    if (holdingPlace)
        return;
    holdingPlace = true;
    emit procStarted();
}

void Job::releasePlace()
{
    if (!holdingPlace)
        return;
    holdingPlace = false;
    emit procStopped();
}

void Job::atomsEnded(const ProgramRun::End &end)
{
    jobState = FeffPending;
    reportAbnormalEnd(end, "Atoms");
    writeFeffInp(atomsText());
    if (!keepOutput)
        atomsOutputText = QString();
    setStatus(Program::Atoms, Status::Finished);
    // The place Atoms held goes straight to FEFF: no other job can take it in between.
    runFeff();
}

void Job::takeFeffOutput(const QByteArray &bytes)
{
    const QString text = decodeOutputLines(bytes);
    feffTrouble.add(text);
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
    jobState = Finished;
    setStatus(Program::Feff, Status::Finished);
    reportAbnormalEnd(end, "FeFF");
    for (const QString &line : feffTrouble.finish())
        emit log(demeterTr("FeFF in %1 : %2").arg(workDir, line));
    readFeffResult();
}

// FEFF 6 exits with 0 even after a fatal input error and leaves an older chi.dat
// in place, so only a chi.dat rewritten by this run counts as its result.
void Job::readFeffResult()
{
    const bool hadCurve = chiData.valid;
    const QString chiPath = joinPath(workDir, "chi.dat");
    if (FileStamp::of(chiPath) == chiBeforeRun) {
        chiData.reset();
        emit log(demeterTr("FeFF wrote no new chi.dat in %1").arg(workDir));
    } else {
        chiData.read(chiPath);
        if (!chiData.valid)
            emit log(demeterTr("chi.dat in %1 holds no data").arg(workDir));
    }
    if (chiData.valid)
        emit newChi();
    else if (hadCurve)
        emit chiCleared();
}

void Job::reportAbnormalEnd(const ProgramRun::End &end, const QString &programName)
{
    if (end.crashed)
        emit log(demeterTr("%1 crashed in %2").arg(programName, workDir));
    else if (end.exitCode != 0)
        emit log(demeterTr("%1 ended with exit code %2 in %3")
                     .arg(programName, QString::number(end.exitCode), workDir));
}

void Job::writeFeffInp(const QString &atomsAreaText)
{
    const QString text = textFromMarker(atomsAreaText);
    QFile file(joinPath(workDir, "feff.inp"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        emit log(demeterTr("Can not open feff.inp for %1").arg(file.fileName()));
        return;
    }
    QTextStream out(&file);
    out.setCodec(fileTextCodec());
    out << text;
    out.flush();
    file.close();
}

// For messages from inside the constructor, before anything listens to log(): they are
// delivered from the event loop, once the job has been wired up.
void Job::logLater(const QString &msg)
{
    QMetaObject::invokeMethod(
        this, [this, msg] { emit log(msg); }, Qt::QueuedConnection);
}

void Job::prepareFeffInpFile()
{
    QFile source(inputFile.canonicalFilePath());
    if (source.fileName().isEmpty() || !source.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // A file that is gone has no canonical path; name the one the user gave.
        logLater(demeterTr("Can not open feff input file : %1 to read.")
                     .arg(source.fileName().isEmpty() ? inputFile.absoluteFilePath()
                                                      : source.fileName()));
        return;
    }
    // Read before the target is opened: the input may itself be this job's feff.inp,
    // which opening for writing would empty.
    QTextStream in(&source);
    in.setCodec(fileTextCodec());
    const QString text = in.readAll();

    QFile target(joinPath(workDir, "feff.inp"));
    if (!target.open(QIODevice::WriteOnly | QIODevice::Text)) {
        source.close();
        logLater(demeterTr("Can not open feff input file : %1 to write.").arg(target.fileName()));
        return;
    }
    QTextStream out(&target);
    out.setCodec(fileTextCodec());
    out << text;
    out.flush();
    target.close();
    source.close();
    atomsOutputText = copiedHeaderLine + text;
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
