// Plot redraw: a full repaint of the plot's drawing area with K shown curves of 401
// points, against a bare QPainter drawing of the same polylines into a QImage of the
// same size, in the same run.
//
//   plot_redraw [--counts 1,10,100,1000] [--rounds 15] [--min-ms 30] [--work DIR]
//               [--snapshots DIR] [--r-space 1]
//
// --snapshots saves, for every K, what the repaint drew (plot-K.png) and what the bare
// drawing drew (bare-K.png), to check by eye that both draw the same curves.
// The jobs get their data the honest way: every one of them runs the FEFF stand-in once
// (a different --amp each, so that the curves differ), two at a time, before anything
// is timed. They are registered with a ShowChi window, which is shown (offscreen
// platform) at its designed size; for each K the first K jobs have their "Show" box
// ticked, the others not, and the scale is fitted again (the window's Reset Scale).
//
// Repaint: DispChi->repaint(), the synchronous path of a real paint: the widget
// repaint manager paints the area (background, frame, ShowChi::draw's curves, grid,
// labels) into the window's backing store and flushes it.
// Bare: QPainter on a QImage of the area's size in the backing store's format: fill
// the background, then, clipped to the plot area as ShowChi clips, drawPolyline of the
// same screen points (precomputed) with the same pen (width 1, the job's colour, and the
// dash pattern curveStyles gives a colour the palette repeats). (Qt's
// raster engine strokes such polylines several times faster with a clip rectangle set
// than without one.)
// Each timed sample is a batch of paints lasting at least --min-ms, divided by its count;
// the two variants alternate batch by batch; the figures are medians over the rounds.
//
// --r-space 1 measures, instead, the R view against the k view with the same K shown
// curves (k-weight 2, the default window): a repaint in R against one in k, each after
// a first repaint of that view, alternating as above; and switching from k to R with a
// window not seen before (kmin alternates between 3 and 3.05, so every switch computes
// K transforms): ShowChi::setView (what the window's "R" choice does) and the repaint
// that follows, once per round.
#include "benchqt.h"
#include "benchutil.h"

#include "chcoord.h"
#include "chiplot.h"
#include "dispa.h"
#include "job.h"
#include "jobmodel.h"
#include "language.h"
#include "paramstore.h"
#include "plotview.h"
#include "showchi.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTranslator>

#include <cmath>
#include <functional>
#include <sstream>

using namespace bench;

namespace {

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Makes count jobs and runs each once with the stand-in, at most two at a time.
QVector<Job *> makeJobs(int count, const QString &work)
{
    QDir().mkpath(work + "/in");
    QVector<Job *> jobs;
    for (int i = 0; i < count; ++i) {
        const QString input = work + QString("/in/curve%1.inp").arg(i, 4, 10, QChar('0'));
        writeText(input.toStdString(), "x\n");
        RunSettings settings;
        settings.environment = QProcessEnvironment::systemEnvironment();
        settings.cifFiles = work + "/in";
        settings.inpFiles = work + "/in";
        settings.resFiles = work + "/res";
        settings.feffExe = FAKE_FEFF;
        settings.feffArgs
            = QStringList { "--amp", QString::number(0.5 + double((i * 37) % 97) / 97.0) };
        jobs.append(new Job(&settings, QFileInfo(input), 6, nullptr));
    }
    int next = 0, running = 0, finished = 0;
    QEventLoop loop;
    std::function<void()> startMore = [&] {
        while (running < 2 && next < jobs.size()) {
            ++running;
            jobs[next++]->start();
        }
    };
    for (Job *job : jobs)
        QObject::connect(job, &Job::procStopped, &loop, [&] {
            --running;
            ++finished;
            if (finished == jobs.size())
                loop.quit();
            else
                startMore();
        });
    startMore();
    if (finished < jobs.size())
        loop.exec();
    return jobs;
}

struct Bare
{
    QVector<QPolygonF> lines;
    QVector<QColor> colours;
    QVector<Qt::PenStyle> styles; // as the plot gives them: dashes for repeated colours
    QRect clip; // the plot area, to which ShowChi clips its curves
};

// The screen points ShowChi::draw gives the painter for the first k jobs.
Bare bareCurves(const JobModel &jobs, int k, const ChCoord &coord)
{
    Bare bare;
    QVector<PlotCurve> curves;
    for (int i = 0; i < k; ++i) {
        const ChiData &chi = jobs.job(i)->chi();
        QPolygonF line;
        line.reserve(chi.kValues.size());
        for (int j = 0; j < chi.kValues.size(); ++j)
            line << QPointF(std::trunc(coord.toScreenX(chi.kValues[j])),
                std::trunc(coord.toScreenY(chi.chiValues[j])));
        bare.lines << line;
        bare.colours << QColor::fromRgba(jobs.colour(i));
        curves << PlotCurve { Series(), bare.colours.last(), QString() };
    }
    bare.styles = curveStyles(curves);
    bare.clip = QRect(QPoint(int(std::min(coord.plotX0, coord.plotX1)),
                          int(std::min(coord.plotY0, coord.plotY1))),
        QPoint(
            int(std::max(coord.plotX0, coord.plotX1)), int(std::max(coord.plotY0, coord.plotY1))));
    return bare;
}

void drawBare(QImage &image, const Bare &bare)
{
    QPainter p(&image);
    p.fillRect(0, 0, image.width(), image.height(), Qt::white);
    p.setClipRect(bare.clip);
    for (int i = 0; i < bare.lines.size(); ++i) {
        p.setPen(QPen(bare.colours[i], 1, bare.styles[i]));
        p.drawPolyline(bare.lines[i]);
    }
}

// Seconds per call of f, from batches of at least minSeconds.
template <typename F> double timeBatch(F f, double minSeconds)
{
    int reps = 0;
    const double t0 = now();
    double t = t0;
    do {
        f();
        ++reps;
        t = now();
    } while (t - t0 < minSeconds);
    return (t - t0) / reps;
}

// The R view against the k view, and the switch from k to R (see the head of the file).
int compareSpaces(ShowChi &plot, JobModel &jobs, const std::vector<int> &counts, int rounds,
    double minMs, const QString &snapshots)
{
    DispA *area = plot.plotArea();
    for (int k : counts) {
        for (int i = 0; i < jobs.rowCount(); ++i)
            jobs.setShown(i, i < k);
        settle();
        PlotView kView;
        kView.kWeight = 2;
        PlotView rView = kView;
        rView.space = PlotSpace::R;
        std::vector<double> inK, inR, switches;
        for (int r = 0; r < rounds; ++r) {
            for (int j = 0; j < 2; ++j) {
                const bool rFirst = (j + r) % 2 == 0;
                plot.setView(rFirst ? rView : kView);
                area->repaint();
                (rFirst ? inR : inK).push_back(timeBatch([&] { area->repaint(); }, 1e-3 * minMs));
            }
            plot.setView(kView);
            area->repaint();
            PlotView fresh = rView;
            fresh.ft.kmin = r % 2 == 0 ? 3.05 : 3.0;
            const double t0 = now();
            plot.setView(fresh);
            area->repaint();
            switches.push_back(now() - t0);
            settle();
        }
        if (!snapshots.isEmpty()) {
            QDir().mkpath(snapshots);
            plot.setView(rView);
            area->repaint();
            area->grab().save(snapshots + QString("/plot-r-%1.png").arg(k));
        }
        const double ratio = medianRatio(inR, inK);
        std::printf("  K = %4d  repaint R %9.3f ms  repaint k %9.3f ms  ratio %.3f  "
                    "switch k to R %8.1f ms\n",
            k, 1e3 * median(inR), 1e3 * median(inK), ratio, 1e3 * median(switches));
        char fig[200];
        std::snprintf(fig, sizeof fig, "repaint R %.3f ms, k %.3f ms, ratio %.3f",
            1e3 * median(inR), 1e3 * median(inK), ratio);
        result("plot R/k repaint K=" + std::to_string(k), fig, "<= 1.5x k",
            ratio <= 1.5 ? "yes" : "no");
        std::snprintf(fig, sizeof fig, "%.1f ms", 1e3 * median(switches));
        result("plot switch k to R K=" + std::to_string(k), fig, "<= 200 ms",
            median(switches) <= 0.2 ? "yes" : "no");
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::vector<int> counts { 1, 10, 100, 1000 };
    int rounds = 15;
    double minMs = 30;
    QString work = "/tmp/orbelin-bench-plot";
    QString snapshots;
    bool rSpace = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (a == "--min-ms") {
            minMs = std::atof(argv[i + 1]);
        } else if (a == "--work") {
            work = argv[i + 1];
        } else if (a == "--snapshots") {
            snapshots = argv[i + 1];
        } else if (a == "--r-space") {
            rSpace = std::atoi(argv[i + 1]) != 0;
        } else if (a == "--counts") {
            counts = parseIntList(argv[i + 1]);
        }
    }
    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    // The program's catalogue, as the program installs it.
    QTranslator translator;
    setupLanguage(&app, &translator, ParamStore());
    const QString startDir = QDir::currentPath();
    removeTree(work.toStdString());

    const int maxK = *std::max_element(counts.begin(), counts.end());
    const double t0 = now();
    const QVector<Job *> jobs = makeJobs(maxK, work);
    const double runSeconds = now() - t0;
    QDir::setCurrent(startDir);
    int withData = 0;
    for (Job *job : jobs)
        withData += job->chi().valid && job->chi().kValues.size() == 401;
    if (withData != maxK) {
        std::fprintf(stderr, "only %d of %d jobs have 401 points of chi data\n", withData, maxK);
        result("plot redraw", "run failed", "-", "no");
        return 1;
    }

    JobModel rows;
    rows.addJobs(jobs);
    ShowChi plot(nullptr);
    plot.setModel(&rows);
    plot.show();
    settle();
    DispA *area = plot.plotArea();
    auto *resetScale = plot.findChild<QPushButton *>("ResetScale");
    QImage image(area->size(), QImage::Format_RGB32);
    std::printf("Plot redraw: area %dx%d, platform %s; %d jobs ran the stand-in in %.1f s\n",
        area->width(), area->height(), qPrintable(QGuiApplication::platformName()), maxK,
        runSeconds);

    if (rSpace) {
        const int status = compareSpaces(plot, rows, counts, rounds, minMs, snapshots);
        removeTree(work.toStdString());
        return status;
    }
    for (int k : counts) {
        for (int i = 0; i < rows.rowCount(); ++i)
            rows.setShown(i, i < k);
        if (resetScale)
            resetScale->click();
        settle();
        area->repaint();
        settle();
        const Bare bare = bareCurves(rows, k, area->coord);

        std::vector<double> repaint, drawn;
        for (int r = 0; r < rounds; ++r) {
            for (int j = 0; j < 2; ++j) {
                if ((j + r) % 2 == 0)
                    repaint.push_back(timeBatch([&] { area->repaint(); }, 1e-3 * minMs));
                else
                    drawn.push_back(timeBatch([&] { drawBare(image, bare); }, 1e-3 * minMs));
            }
            settle(); // the cursor read-outs ShowChi::draw updates
        }
        if (!snapshots.isEmpty()) {
            QDir().mkpath(snapshots);
            area->grab().save(snapshots + QString("/plot-%1.png").arg(k));
            image.save(snapshots + QString("/bare-%1.png").arg(k));
        }
        const double ratio = medianRatio(repaint, drawn);
        std::printf("  K = %4d  repaint %9.3f ms  bare %9.3f ms  ratio %.3f  "
                    "(bare per curve %.2f us)\n",
            k, 1e3 * median(repaint), 1e3 * median(drawn), ratio, 1e6 * median(drawn) / k);
        char fig[200];
        std::snprintf(fig, sizeof fig, "repaint %.3f ms, bare %.3f ms, ratio %.3f",
            1e3 * median(repaint), 1e3 * median(drawn), ratio);
        if (k >= 100)
            result("plot redraw K=" + std::to_string(k), fig, "<= 1.3x bare",
                ratio <= 1.3 ? "yes" : "no");
        else
            result("plot redraw K=" + std::to_string(k), fig, "- (goal for K >= 100)", "-");
    }
    removeTree(work.toStdString());
    return 0;
}
