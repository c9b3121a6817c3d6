// What the window pays while a batch is ranked: N jobs of the stand-in FEFF (chi(k) of
// different amplitudes and so different fits) are ranked against one job's own chi(k)
// with nothing reading the ranking, with the job model, with the model and a filter
// sorted by fit, and with the main window's job list sorted by fit. Per variant, side by
// side in each round: the ranking's wall time, the main thread's CPU time and the longest
// time the event loop did not turn (a 2 ms timer's largest gap).
//   bench_rank_rows [--jobs N] [--rounds R]
#include "benchqt.h"
#include "benchutil.h"
#include "jobfilter.h"
#include "joblist.h"
#include "jobmodel.h"
#include "jobranking.h"
#include "measurement.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>
#include <functional>
#include <memory>

namespace {

double threadCpu() { return bench::clockSeconds(CLOCK_THREAD_CPUTIME_ID); }

// Runs the jobs two at a time, as MAX_PROC 2 would.
void runAll(const std::vector<std::unique_ptr<Job>> &jobs)
{
    size_t next = 0, ended = 0;
    QEventLoop loop;
    std::function<void()> startNext = [&] {
        if (next < jobs.size())
            jobs[next++]->start();
    };
    for (const auto &job : jobs)
        QObject::connect(job.get(), &Job::ended, &loop, [&] {
            startNext();
            if (++ended == jobs.size())
                loop.quit();
        });
    startNext();
    startNext();
    loop.exec();
}

struct Figures
{
    double wall = 0;
    double cpu = 0;
    double gap = 0;
};

enum Variant { Alone, Model, Filter, List, VariantCount };
const char *const variantNames[]
    = { "ranking alone", "job model", "model + filter by fit", "job list by fit (window)" };

Figures rankOnce(Variant variant, const QVector<Job *> &jobs, const MeasuredSpectrum &measured)
{
    std::unique_ptr<JobModel> model;
    std::unique_ptr<JobFilter> filter;
    std::unique_ptr<JobList> list;
    if (variant != Alone)
        model = std::make_unique<JobModel>();
    if (variant == Filter) {
        filter = std::make_unique<JobFilter>();
        filter->setJobModel(model.get());
        filter->setOrder(JobFilter::Order::Fit);
    }
    if (variant == List) {
        list = std::make_unique<JobList>(model.get());
        list->filter()->setOrder(JobFilter::Order::Fit);
        list->resize(1400, 800);
        list->show();
    }
    if (model)
        model->addJobs(jobs);
    QCoreApplication::processEvents();

    JobRanking ranking;
    for (Job *job : jobs)
        ranking.addJob(job);
    if (model)
        model->setRanking(&ranking);
    QEventLoop loop;
    QObject::connect(&ranking, &JobRanking::settled, &loop, [&] {
        if (ranking.pending() == 0)
            loop.quit();
    });
    QElapsedTimer tick;
    double gap = 0;
    QTimer beat;
    beat.setInterval(2);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        gap = std::max(gap, tick.nsecsElapsed() / 1e9);
        tick.start();
    });
    const double wall = bench::now(), cpu = threadCpu();
    tick.start();
    beat.start();
    ranking.setMeasured(measured, QString(), QString());
    loop.exec();
    // What the ranking's last change leaves to the event loop (a view's layout).
    QCoreApplication::processEvents();
    return { bench::now() - wall, threadCpu() - cpu, gap };
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(bench::quietMessages);
    QApplication app(argc, argv);
    int count = 10000, rounds = 2;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (QByteArray(argv[i]) == "--jobs")
            count = std::atoi(argv[i + 1]);
        else if (QByteArray(argv[i]) == "--rounds")
            rounds = std::atoi(argv[i + 1]);
    }
    QTemporaryDir tmp;
    RunSettings settings;
    settings.environment = QProcessEnvironment::systemEnvironment();
    settings.resFiles = tmp.filePath("res");
    settings.feffExe = FAKE_FEFF;
    std::vector<std::unique_ptr<Job>> jobs;
    QVector<Job *> list;
    QDir().mkpath(tmp.filePath("in"));
    for (int i = 0; i < count; ++i) {
        QFile input(tmp.filePath(QString("in/j%1.inp").arg(i)));
        if (!input.open(QIODevice::WriteOnly))
            return 1;
        input.write(QString("fake: --amp %1\n").arg(0.3 + (i * 37 % 97) / 50.0).toUtf8());
        input.close();
        jobs.push_back(std::make_unique<Job>(&settings, QFileInfo(input.fileName()), 6));
        list << jobs.back().get();
    }
    const double ran = bench::now();
    runAll(jobs);
    std::printf("%d stand-in FEFF jobs ran in %.1f s\n", count, bench::now() - ran);

    // The measured spectrum: the first job's own chi(k), as a two-column file.
    const ChiData &chi = list.first()->chi();
    QByteArray text = "# k chi\n";
    for (int i = 0; i < chi.kValues.size(); ++i)
        text += QByteArray::number(chi.kValues[i], 'f', 4) + ' '
            + QByteArray::number(chi.chiValues[i], 'e', 9) + '\n';
    QFile file(tmp.filePath("measured.chi"));
    MeasuredSpectrum measured;
    QString error;
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()
        || (file.close(), !measured.load(file.fileName(), MeasuredOptions(), &error))) {
        std::fprintf(stderr, "no measured spectrum: %s\n", qPrintable(error));
        return 1;
    }

    std::vector<double> wall[VariantCount], cpu[VariantCount], gap[VariantCount];
    for (int round = 0; round < rounds; ++round)
        for (int k = 0; k < VariantCount; ++k) {
            const auto variant = Variant((k + round) % VariantCount);
            const Figures f = rankOnce(variant, list, measured);
            wall[variant].push_back(f.wall);
            cpu[variant].push_back(f.cpu);
            gap[variant].push_back(f.gap);
        }
    std::printf(
        "%d jobs, %d rounds; medians (main thread CPU above the ranking alone)\n", count, rounds);
    std::printf("%-26s %8s %14s %10s %16s\n", "variant", "wall s", "main CPU s", "extra s",
        "longest gap ms");
    for (int v = 0; v < VariantCount; ++v)
        std::printf("%-26s %8.2f %14.2f %10.2f %16.1f\n", variantNames[v], bench::median(wall[v]),
            bench::median(cpu[v]), bench::median(cpu[v]) - bench::median(cpu[Alone]),
            1000 * bench::median(gap[v]));
    return 0;
}
