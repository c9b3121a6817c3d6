#include "jobranking.h"

#include "absorber.h"
#include "feffpaths.h"
#include "job.h"
#include "measurement.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>

namespace {

// The feff.inp that says what the job computed: its own, or that of its first run.
QString feffInpOf(const QString &workDir)
{
    const QString own = QDir(workDir).filePath("feff.inp");
    if (QFile::exists(own))
        return own;
    const QStringList runs = QDir(workDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &run : runs) {
        const QString path = QDir(workDir).filePath(run + "/feff.inp");
        if (QFile::exists(path))
            return path;
    }
    return own;
}

std::vector<double> toStd(const QVector<double> &v)
{
    return std::vector<double>(v.begin(), v.end());
}

} // namespace

JobRanking::JobRanking(QObject *parent)
    : QObject(parent)
    , pool(new QThreadPool(this))
{
}

// Fits in flight hold the target they were made for; they finish before the pool goes.
JobRanking::~JobRanking() { pool->waitForDone(); }

void JobRanking::setMeasured(
    const MeasuredSpectrum &measured, const QString &measuredElement, const QString &measuredEdge)
{
    auto made = std::make_shared<FitTarget>(
        toStd(measured.chi().kValues), toStd(measured.chi().chiValues), fitOptions);
    if (!made->isValid()) {
        problem = QString::fromStdString(made->error());
        target.reset();
    } else {
        problem.clear();
        target = std::move(made);
    }
    element = measuredElement.toStdString();
    edge = measuredEdge.toStdString();
    measuredK = toStd(measured.chi().kValues);
    measuredChi = toStd(measured.chi().chiValues);
    refitAll();
}

void JobRanking::setOptions(const FitOptions &options)
{
    fitOptions = options;
    if (!measuredK.empty()) {
        auto made = std::make_shared<FitTarget>(measuredK, measuredChi, fitOptions);
        problem = made->isValid() ? QString() : QString::fromStdString(made->error());
        target = made->isValid() ? std::move(made) : nullptr;
    }
    refitAll();
}

void JobRanking::addJob(Job *job)
{
    const int index = fits.size();
    Slot slot;
    slot.job = job;
    fits.append(slot);
    indexOf.insert(job, index);
    connect(job, &Job::newChi, this, [this, index] { refit(index); });
    connect(job, &Job::chiCleared, this, [this, index] { refit(index); });
    refit(index);
}

void JobRanking::refitAll()
{
    for (int i = 0; i < fits.size(); ++i)
        refit(i);
    if (inFlight == 0) {
        rerank();
        emit settled();
    }
}

void JobRanking::refit(int index)
{
    Slot &slot = fits[index];
    const quint64 generation = nextGeneration++;
    slot.generation = generation;
    slot.entry.fitted = false;
    slot.entry.fit = FitResult();
    const ChiData &chi = slot.job->chi();
    if (!target || !chi.valid) {
        scheduleRerank();
        return;
    }
    ++inFlight;
    auto calc = std::make_shared<CalcChi>();
    calc->k = toStd(chi.kValues);
    calc->chi = toStd(chi.chiValues);
    const std::shared_ptr<const FitTarget> fitTarget = target;
    const QString jobDir = slot.job->workingDirectory();
    const std::string workDir = QFile::encodeName(jobDir).toStdString();
    QPointer<JobRanking> self(this);
    // The working directory is probed on the pool's thread: with thousands of jobs a new
    // spectrum would otherwise hold the event loop while every directory is listed.
    pool->start([self, index, generation, calc, fitTarget, workDir, jobDir] {
        const QString feffInp = feffInpOf(jobDir);
        if (fitTarget->options().shellSigma2) {
            FirstShell shell = readFirstShell(workDir, calc->k);
            if (shell.error.empty())
                calc->firstShell = std::move(shell.chi);
        }
        QFile file(feffInp);
        const FeffAbsorber absorber = feffAbsorber(
            file.size() < (1 << 24) && file.open(QIODevice::ReadOnly) ? file.readAll().toStdString()
                                                                      : std::string());
        const FitResult fit = fitTarget->fit(*calc);
        const QString jobElement = QString::fromStdString(absorber.element);
        const QString jobEdge = QString::fromStdString(absorber.edge);
        QMetaObject::invokeMethod(
            self.data(),
            [self, index, generation, fit, jobElement, jobEdge] {
                if (self)
                    self->takeResult(index, generation, fit, jobElement, jobEdge);
            },
            Qt::QueuedConnection);
    });
}

void JobRanking::takeResult(int index, quint64 generation, const FitResult &fit,
    const QString &jobElement, const QString &jobEdge)
{
    --inFlight;
    Slot &slot = fits[index];
    // A result for data or a spectrum that has changed since is no result.
    if (slot.generation == generation) {
        slot.entry.fitted = true;
        slot.entry.fit = fit;
        slot.entry.element = jobElement;
        slot.entry.edge = jobEdge;
    }
    // The last result is ranked at once, so that settled() finds the ranking complete.
    if (inFlight == 0) {
        rerank();
        emit settled();
    } else {
        scheduleRerank();
    }
}

std::vector<RankCandidate> JobRanking::candidates() const
{
    std::vector<RankCandidate> list;
    list.reserve(size_t(fits.size()));
    for (const Slot &slot : fits) {
        RankCandidate c;
        c.input = slot.job->inputPath().toStdString();
        c.workdir = slot.job->workingDirectory().toStdString();
        c.element = slot.entry.element.toStdString();
        c.edge = slot.entry.edge.toStdString();
        c.hasChi = slot.entry.fitted;
        c.fit = slot.entry.fit;
        list.push_back(std::move(c));
    }
    return list;
}

void JobRanking::scheduleRerank()
{
    if (rerankPending)
        return;
    rerankPending = true;
    QTimer::singleShot(50, this, [this] {
        if (rerankPending)
            rerank();
    });
}

void JobRanking::rerank()
{
    rerankPending = false;
    const std::vector<RankEntry> entries = rankCandidates(candidates(), element, edge);
    for (Slot &slot : fits) {
        slot.entry.rank = 0;
        slot.entry.status = RankStatus::NoChi;
    }
    for (const RankEntry &e : entries) {
        Entry &entry = fits[int(e.candidate)].entry;
        entry.status = entry.fitted ? e.status : RankStatus::NoChi;
        entry.rank = e.rank;
    }
    emit changed();
}

JobRanking::Entry JobRanking::entry(const Job *job) const
{
    const int index = indexOf.value(job, -1);
    return index < 0 ? Entry() : fits.at(index).entry;
}

QVector<Job *> JobRanking::best(int count) const
{
    QVector<const Slot *> ranked;
    for (const Slot &slot : fits)
        if (slot.entry.rank > 0)
            ranked << &slot;
    std::sort(ranked.begin(), ranked.end(),
        [](const Slot *a, const Slot *b) { return a->entry.rank < b->entry.rank; });
    QVector<Job *> jobs;
    for (int i = 0; i < ranked.size() && i < count; ++i)
        jobs << ranked[i]->job;
    return jobs;
}

QVector<double> JobRanking::fittedChi(const Job *job) const
{
    const int index = indexOf.value(job, -1);
    if (index < 0 || !fits.at(index).entry.fitted || !fits.at(index).entry.fit.ok)
        return {};
    const ChiData &chi = job->chi();
    CalcChi calc;
    calc.k = toStd(chi.kValues);
    calc.chi = toStd(chi.chiValues);
    const Entry &e = fits.at(index).entry;
    if (e.fit.shells) {
        FirstShell shell
            = readFirstShell(QFile::encodeName(job->workingDirectory()).toStdString(), calc.k);
        if (shell.error.empty())
            calc.firstShell = std::move(shell.chi);
    }
    const std::vector<double> model = ::fittedChi(calc, e.fit, calc.k);
    return QVector<double>(model.begin(), model.end());
}

QByteArray JobRanking::tsv() const
{
    const std::vector<RankCandidate> list = candidates();
    return QByteArray::fromStdString(rankingTsv(list, rankCandidates(list, element, edge)));
}

int JobRanking::rankedCount() const
{
    return int(
        std::count_if(fits.begin(), fits.end(), [](const Slot &s) { return s.entry.rank > 0; }));
}

int JobRanking::unrankedCount() const
{
    return int(std::count_if(fits.begin(), fits.end(),
        [](const Slot &s) { return s.entry.fitted && s.entry.rank == 0; }));
}
