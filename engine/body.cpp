#include "body.h"

#include "folderlisting.h"
#include "inputfeed.h"
#include "job.h"
#include "jobfiles.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QTimer>

#include <sys/resource.h>

namespace {

// The manager's texts are the main window's, in its translation context.
QString guiTr(const char *text) { return QCoreApplication::translate("Gui", text); }

// Open files a running program costs this process (its output pipe and orbelin-run's
// report pipe, and their other ends while it starts), and what the rest needs.
const int filesPerProgram = 3;
const int filesReserved = 64;

} // namespace

Body::Body(const ParamStore *commandLine, QObject *parent)
    : QObject(parent)
    , feed(new InputFeed([this](const QFileInfo &file, int kind) { newJob(file, kind); }, this))
{
    // The manager may have become idle once every input is a job.
    connect(feed, &InputFeed::drained, &scheduler, &Scheduler::scheduleIdleCheck);
    QString configPath = "config.cfg";
    const bool named = !commandLine->value("-c").isEmpty() || commandLine->contains("-config");
    if (!commandLine->value("-c").isEmpty())
        configPath = commandLine->value("-c");
    else if (commandLine->contains("-config"))
        configPath = commandLine->value("-config");
    // Without its configuration the run would use the defaults of a Windows installation.
    if (!params.readConfigFile(configPath) && (named || QFileInfo::exists(configPath)))
        problems << guiTr("Can not read the configuration file %1").arg(configPath);

    readProcessLimit();
    setupRunSettings(params, &settings);
    readTimeLimits(commandLine->contains("-batch"));
    scheduler.setPlaces(maxProc);
    connect(&scheduler, &Scheduler::idle, this, [this] {
        if (feed->isEmpty())
            emit idle();
    });
    checkFolders();
    lockResults();
    // The log is wired once the manager is made; a batch stops at these before it runs.
    // Those found later (a folder that cannot be listed) are logged as they are found.
    QMetaObject::invokeMethod(
        this,
        [this, found = problems] {
            for (const QString &problem : found)
                emit log(problem);
        },
        Qt::QueuedConnection);
}

// The jobs go with the manager; programs still running go on.
Body::~Body() = default;

void Body::readProcessLimit()
{
    const QString text = params.valueNoCase("MAX_PROC", "6");
    bool whole = false;
    maxProc = text.toInt(&whole, 10);
    if (!whole || maxProc < 1) {
        problems << guiTr("MAX_PROC '%1' is not a whole number of at least 1: no job will start")
                        .arg(text);
        if (!whole)
            maxProc = 0;
        return;
    }
    // Every running program takes open files; past the process's limit, starts would fail.
    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        // Signed: below the reserve the difference is negative, not a huge unsigned number.
        const qint64 open = qint64(qMin<rlim_t>(files.rlim_cur, 1 << 20));
        const int most = int(qMax<qint64>(1, (open - filesReserved) / filesPerProgram));
        if (maxProc > most) {
            const QString capped
                = guiTr("MAX_PROC %1 is more than the open-file limit allows: at most %2 "
                        "programs run at once")
                      .arg(maxProc)
                      .arg(most);
            QMetaObject::invokeMethod(
                this, [this, capped] { emit log(capped); }, Qt::QueuedConnection);
            maxProc = most;
        }
    }
}

// A limit that is not a whole number of seconds would silently mean none; one past the
// largest would overflow the timer.
void Body::readTimeLimits(bool batch)
{
    for (const char *key : { "ATOMS_TIMEOUT", "FEFF_TIMEOUT" }) {
        if (!params.contains(key))
            continue;
        const QString text = params.value(key);
        if (!parseTimeLimit(text, nullptr)) {
            problems << guiTr("%1 '%2' is not a whole number of seconds from 0 to %3: no job will "
                              "start")
                            .arg(QLatin1String(key), text)
                            .arg(largestTimeLimit);
            maxProc = 0;
        }
    }
    // A night's batch ends even when FEFF never does.
    if (batch && !params.contains("FEFF_TIMEOUT"))
        settings.feffTimeout = batchFeffTimeout;
}

void Body::checkFolders()
{
    for (const QString &dir : { settings.cifFiles, settings.inpFiles }) {
        const QFileInfo info(dir);
        if (!info.isDir())
            problems << guiTr("Can not create the folder %1").arg(dir);
        else if (!info.isReadable() || !info.isExecutable())
            problems << guiTr("Can not list the folder %1").arg(dir);
    }
    const QFileInfo results(settings.resFiles);
    if (!results.isDir())
        problems << guiTr("Can not create the folder %1").arg(settings.resFiles);
    else if (!results.isWritable())
        problems << guiTr("Can not write into the results folder %1").arg(settings.resFiles);
}

// Two programs in one results folder would run the same jobs in the same directories.
void Body::lockResults()
{
    if (!QFileInfo(settings.resFiles).isDir())
        return;
    switch (lock.take(settings.resFiles)) {
    case ResultsLock::Result::Taken:
        break;
    case ResultsLock::Result::CannotWrite:
        problems << guiTr("Can not write into the results folder %1").arg(settings.resFiles);
        break;
    case ResultsLock::Result::InUse:
        lockMessage = guiTr("The results folder %1 is in use by another Orbelin (process %2); "
                            "this one does not start")
                          .arg(settings.resFiles, lock.holder());
        break;
    }
}

void Body::scanInputDirs()
{
    // FIFOs, devices and broken links are listed too, to be named as no input.
    const FolderListing cifEntries = listInputs(settings.cifFiles, { ".cif", ".inp" });
    feed->add(cifEntries.entries, Job::AtomsInput);
    const FolderListing inpEntries = listInputs(settings.inpFiles, { ".inp" });
    feed->add(inpEntries.entries, Job::FeffInput);
    feed->makeSlice();
}

// A folder that cannot be listed is a run that cannot go as configured; a name that is not
// UTF-8 is an input that becomes no job: Qt can neither name nor open it.
FolderListing Body::listInputs(const QString &dir, const QStringList &suffixes)
{
    const FolderListing listing = FolderListing::of(dir, suffixes);
    if (!listing.error.isEmpty()) {
        problems << guiTr("Can not list the folder %1 : %2").arg(dir, listing.error);
        emit log(problems.last());
    }
    for (const QString &path : listing.notUtf8) {
        skipped << guiTr("%1 has a name that is not UTF-8: no job for it (rename it, for "
                         "instance with convmv)")
                       .arg(path);
        emit log(skipped.last());
    }
    return listing;
}

// Only regular files (after their symbolic links) become jobs: a FIFO or a device would
// block or never end a read, and a huge file would sink the program.
bool Body::acceptInput(const QFileInfo &file)
{
    const QFileInfo target(file.canonicalFilePath());
    QString why;
    if (!file.exists() && !file.isSymLink())
        return true; // the job says that it is gone
    if (file.isSymLink() && !target.exists())
        why = guiTr("%1 is a link to nothing: no job for it").arg(file.absoluteFilePath());
    else if (!target.isFile())
        why = guiTr("%1 is not a regular file: no job for it").arg(file.absoluteFilePath());
    else if (target.size() > largestInputBytes)
        why = guiTr("%1 is larger than 64 MB: no job for it").arg(file.absoluteFilePath());
    if (why.isEmpty())
        return true;
    skipped << why;
    emit log(why);
    return false;
}

void Body::newJob(const QFileInfo &file, int kind)
{
    if (!acceptInput(file))
        return;
    auto *job = new Job(&settings, file, kind, this, &workDirs);
    job->setKeepOutput(keepOutput);
    job->setResume(resume);
    connect(job, &Job::procStarted, this, &Body::procStarted);
    connect(job, &Job::procStopped, this, &Body::procStopped);
    connect(job, &Job::startRequested, this, [this, job] { scheduler.enqueue(job); });
    connect(job, &Job::startDeferred, this, [this, job] { scheduler.retryFirst(job); });
    connect(job, &Job::skipRequested, this, [this, job] { scheduler.remove(job); });
    allJobs.append(job);
    emit jobAdded(job);
    scheduler.enqueue(job);
}

void Body::startNextJob() { scheduler.startFirst(); }

void Body::procStarted()
{
    ++procCount;
    scheduler.placeTaken();
    qDebug() << "Proc count" << procCount;
}

void Body::procStopped()
{
    --procCount;
    qDebug() << "Proc count" << procCount;
    scheduler.placeReleased();
}

void Body::checkDemQue() { scheduler.dispatch(); }

void Body::stopAll()
{
    scheduler.stop();
    for (Job *job : qAsConst(allJobs))
        if (job->isRunning())
            job->stop();
}

void Body::droppedCifFiles(const QStringList &files)
{
    feed->add(files, Job::AtomsInput);
    feed->makeSlice();
}

void Body::droppedFeffFiles(const QStringList &files)
{
    feed->add(files, Job::FeffInput);
    feed->makeSlice();
}

bool Body::isIdle() const { return feed->isEmpty() && scheduler.isIdle(); }

int Body::waitingInputs() const { return feed->waiting(); }
