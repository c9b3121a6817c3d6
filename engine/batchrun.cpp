#include "batchrun.h"

#include "body.h"
#include "chiseries.h"
#include "job.h"
#include "jobfiles.h"
#include "jobranking.h"
#include "jobseries.h"
#include "measurement.h"
#include "paramstore.h"
#include "plotexport.h"
#include "signalwatcher.h"

#include <QTextStream>
#include <QTimer>
#include <cstdio>

namespace {

// Terminals and scripts on Linux read UTF-8, whatever the encoding of the input files.
void writeErr(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

QString exitText(int code) { return code < 0 ? QStringLiteral("-") : QString::number(code); }

} // namespace

BatchRun::BatchRun(Body *manager, const Options &runOptions, PlotSaver saver, QObject *parent)
    : QObject(parent)
    , body(manager)
    , options(runOptions)
    , savePlot(std::move(saver))
{
    clock.start();
    body->setKeepOutput(false);
    connect(body, &Body::log, this, [this](const QString &msg) {
        clearProgress();
        writeErr(msg + '\n');
    });
    connect(body, &Body::jobAdded, this, &BatchRun::watch);
    for (Job *job : body->jobs())
        watch(job);
    connect(body, &Body::idle, this, &BatchRun::finish);

    auto *watcher = new SignalWatcher(this);
    connect(watcher, &SignalWatcher::caught, this, &BatchRun::interrupt);

    if (!options.jobLogPath.isEmpty()) {
        const QByteArray header = "Seq\tInput\tWorkdir\tStarttime\tJobRuntime\tAtomsExit\tFeffExit"
                                  "\tSignal\tPoints\tResult\n";
        QString cause;
        const int fd = openOutputStream(options.jobLogPath, &cause);
        if (fd < 0 || !jobLog.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
            || jobLog.write(header) != header.size() || !jobLog.flush()) {
            jobLogFailed = true;
            writeErr(QStringLiteral("Can not write %1 : %2\n")
                         .arg(options.jobLogPath, fd < 0 ? cause : jobLog.errorString()));
        }
    }
    if (options.progress) {
        progressTimer = new QTimer(this);
        connect(progressTimer, &QTimer::timeout, this, &BatchRun::showProgress);
        progressTimer->start(1000);
    }
}

QString BatchRun::outputsProblem(const ParamStore &commandLine)
{
    const QStringList options { QStringLiteral("-joblog"), QStringLiteral("-plot"),
        QStringLiteral("-export"), QStringLiteral("-rank"), QStringLiteral("-measured-chi") };
    QStringList given;
    for (const QString &option : options) {
        if (!commandLine.contains(option))
            continue;
        // "-joblog -plot x.png" gives -joblog no value: it would write no job log.
        if (commandLine.value(option).isEmpty())
            return QStringLiteral("orbelin: %1 needs a file name; nothing runs").arg(option);
        given << option;
    }
    for (int i = 0; i < given.size(); ++i)
        for (int j = i + 1; j < given.size(); ++j) {
            const QString a = commandLine.value(given.at(i));
            const QString b = commandLine.value(given.at(j));
            if (outputIdentity(a) == outputIdentity(b))
                return QStringLiteral("orbelin: %1 %2 and %3 %4 are the same file: each output "
                                      "needs one of its own; nothing runs")
                    .arg(given.at(i), a, given.at(j), b);
        }
    return QString();
}

void BatchRun::watch(Job *job)
{
    model.addJob(job);
    if (options.ranking)
        options.ranking->addJob(job);
    connect(job, &Job::log, this, [this](const QString &msg) {
        clearProgress();
        writeErr(msg + '\n');
    });
    connect(job, &Job::ended, this, [this, job] { jobEnded(job); });
}

QString BatchRun::duration(qint64 seconds)
{
    return seconds >= 3600
        ? QStringLiteral("%1:%2:%3")
              .arg(seconds / 3600)
              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
              .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString BatchRun::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

QString BatchRun::resultWord(const Job *job)
{
    const int feffExit = job->exitCode(Job::Program::Feff);
    return JobCodes::resultWord(job->outcome(),
        feffExit > 0 ? feffExit : job->exitCode(Job::Program::Atoms), !job->warnings().isEmpty());
}

// A job of several FEFF inputs adds their number as a seventh field; other lines keep
// the six they always had.
QString BatchRun::reportLine(const Job *job)
{
    QStringList fields { escaped(job->inputPath()), job->statusText(Job::Program::Atoms),
        job->statusText(Job::Program::Feff), QString::number(job->chi().kValues.size()),
        escaped(job->workingDirectory()), resultWord(job) };
    if (job->feffRunCount() > 1)
        fields << QString::number(job->feffRunCount());
    return fields.join('\t');
}

QString BatchRun::jobLogLine(int sequence, const Job *job)
{
    const QDateTime start = job->startTime();
    return QStringList { QString::number(sequence), escaped(job->inputPath()),
        escaped(job->workingDirectory()),
        start.isValid() ? QString::number(start.toMSecsSinceEpoch() / 1000.0, 'f', 3)
                        : QStringLiteral("-"),
        QString::number(job->runSeconds(), 'f', 3), exitText(job->exitCode(Job::Program::Atoms)),
        exitText(job->exitCode(Job::Program::Feff)), QString::number(job->endSignal()),
        QString::number(job->chi().kValues.size()), resultWord(job) }
        .join('\t');
}

BatchRun::Status BatchRun::status(const JobModel &jobs, int skippedInputs)
{
    if (jobs.rowCount() == 0)
        return skippedInputs > 0 ? SomeFailed : NoJobs;
    if (skippedInputs > 0)
        return SomeFailed;
    for (int row = 0; row < jobs.rowCount(); ++row)
        if (!jobs.job(row)->chi().valid)
            return SomeFailed;
    return AllGood;
}

bool BatchRun::exportData(const QString &path, const JobModel &jobs, const PlotView &view,
    QString *error, const MeasuredSpectrum *measured)
{
    SeriesCache cache;
    QVector<JobSeries> curves;
    if (measured && measured->isLoaded())
        curves.append(JobSeries { -1, measured->name(), 0, cache.series(measured->chi(), view) });
    curves += jobSeries(jobs, view, cache, SeriesOf::JobsWithData);
    QVector<Series> series;
    for (const JobSeries &curve : curves)
        series.append(curve.series);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    fitView(view.space, series, x0, y0, x1, y1);
    return saveSeriesCsv(path, view, x0, x1, curves, error);
}

bool BatchRun::writeRanking(QTextStream &err)
{
    if (interruptedBy != 0) {
        if (!options.rankPath.isEmpty())
            err << "No ranking written to " << options.rankPath << " : the run was interrupted\n";
        return false;
    }
    err << rankingReport(model, *options.ranking);
    if (options.rankPath.isEmpty())
        return true;
    QString cause;
    if (!writeOutputFile(options.rankPath, options.ranking->tsv(), &cause)) {
        err << "Can not save the ranking to " << options.rankPath << " : " << cause << '\n';
        return false;
    }
    err << "Ranking saved to " << options.rankPath << '\n';
    return true;
}

QString BatchRun::rankingReport(const JobModel &jobs, const JobRanking &ranking)
{
    int withChi = 0;
    for (int row = 0; row < jobs.rowCount(); ++row)
        withChi += jobs.job(row)->chi().valid;
    QString text = QStringLiteral("%1 of %2 jobs with chi data ranked")
                       .arg(ranking.rankedCount())
                       .arg(withChi);
    if (ranking.unrankedCount() > 0)
        text += QStringLiteral("; %1 not ranked (another absorber or no fit)")
                    .arg(ranking.unrankedCount());
    text += '\n';
    const QVector<Job *> best = ranking.best(5);
    if (!best.isEmpty())
        text += QStringLiteral("Best fits (rank, input, rfactor, s02, de0 eV, sigma2 A^2):\n");
    for (const Job *job : best) {
        const JobRanking::Entry e = ranking.entry(job);
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                    .arg(e.rank)
                    .arg(escaped(job->inputName()))
                    .arg(e.fit.rfactor, 0, 'f', 4)
                    .arg(e.fit.s02, 0, 'f', 3)
                    .arg(e.fit.de0, 0, 'f', 2)
                    .arg(e.fit.sigma2, 0, 'f', 5);
        if (!e.fit.atBound.empty()) {
            QStringList names;
            for (const std::string &name : e.fit.atBound)
                names << QString::fromStdString(name);
            text += QStringLiteral("\tat bound: ") + names.join(',');
        }
        text += '\n';
    }
    return text;
}

void BatchRun::jobEnded(Job *job)
{
    if (jobLog.isOpen() && !jobLogFailed) {
        const int sequence = model.row(job) + 1;
        const QByteArray line = jobLogLine(sequence, job).toUtf8() + '\n';
        if (jobLog.write(line) != line.size() || !jobLog.flush()) {
            jobLogFailed = true;
            writeErr(QStringLiteral("Can not write %1 : %2\n")
                         .arg(options.jobLogPath, jobLog.errorString()));
        }
    }
    if (options.progress)
        showProgress();
}

// The first signal ends the running programs and the run; the report follows once they
// have ended (SIGKILL after 5 s at the latest).
void BatchRun::interrupt(int signal)
{
    if (interruptedBy != 0)
        return;
    interruptedBy = signal;
    clearProgress();
    writeErr(QStringLiteral("Signal %1: ending the running programs and the run\n").arg(signal));
    body->stopAll();
    if (body->isIdle())
        finish();
}

void BatchRun::showProgress()
{
    const JobModel::Tally tally = model.tally();
    const qint64 elapsed = clock.elapsed() / 1000;
    QString left = QStringLiteral("?");
    if (tally.ended > 0 && tally.ended < tally.total)
        left = duration(
            qint64(double(clock.elapsed()) / tally.ended * (tally.total - tally.ended) / 1000.0));
    else if (tally.ended == tally.total)
        left = duration(0);
    writeErr(QStringLiteral("\r%1/%2 done, %3 running, %4 failed, %5 elapsed, %6 left\x1b[K")
                 .arg(tally.ended)
                 .arg(tally.total)
                 .arg(tally.running)
                 .arg(tally.failed())
                 .arg(duration(elapsed), left));
    progressShown = true;
}

void BatchRun::clearProgress()
{
    if (!progressShown)
        return;
    writeErr(QStringLiteral("\r\x1b[K"));
    progressShown = false;
}

void BatchRun::finish()
{
    if (done)
        return;
    // The ranking is complete once the last fit is back.
    if (options.ranking && options.ranking->pending() > 0 && interruptedBy == 0) {
        connect(
            options.ranking, &JobRanking::settled, this, &BatchRun::finish, Qt::UniqueConnection);
        return;
    }
    done = true;
    delete progressTimer;
    progressTimer = nullptr;
    clearProgress();
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QTextStream err(stderr);
    err.setCodec("UTF-8");
    int good = 0, resumed = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const Job *job = model.job(row);
        out << reportLine(job) << '\n';
        good += job->chi().valid;
        resumed += job->outcome() == Job::Outcome::Resumed;
    }
    out.flush();

    Status result = status(model, body->skippedInputs().size());
    // A folder that could not be listed: the run did not go as configured.
    if (!body->setupProblems().isEmpty())
        result = NoJobs;
    err << good << " of " << model.rowCount() << " jobs produced chi data";
    if (resumed > 0)
        err << " (" << resumed << " resumed from earlier runs)";
    if (!body->skippedInputs().isEmpty())
        err << "; " << body->skippedInputs().size() << " inputs became no job";
    err << '\n';
    if (!options.plotPath.isEmpty()) {
        QString cause = QStringLiteral("no way to draw it");
        if (savePlot && savePlot(options.plotPath, model.jobs(), options.view, &cause))
            err << "Plot saved to " << options.plotPath << '\n';
        else {
            err << "Can not save the plot to " << options.plotPath << " : " << cause << '\n';
            if (result == AllGood)
                result = PlotNotSaved;
        }
    }
    if (!options.exportPath.isEmpty()) {
        QString cause;
        if (exportData(options.exportPath, model, options.view, &cause, options.measured))
            err << "Data saved to " << options.exportPath << '\n';
        else {
            err << "Can not save the data to " << options.exportPath << " : " << cause << '\n';
            if (result == AllGood)
                result = PlotNotSaved;
        }
    }
    if (options.ranking && !writeRanking(err) && result == AllGood)
        result = PlotNotSaved;
    if (jobLogFailed && result == AllGood)
        result = PlotNotSaved;
    err.flush();
    jobLog.close();
    emit finished(interruptedBy != 0 ? 128 + interruptedBy : int(result));
}
