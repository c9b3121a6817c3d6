#include "batchrun.h"
#include "body.h"
#include "commandoptions.h"
#include "comparison.h"
#include "curvesource.h"
#include "jobranking.h"
#include "language.h"
#include "paramstore.h"
#include "plotview.h"
#include "windows.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

bool quietDebug = false;

// Diagnostics go to a terminal, which reads UTF-8, whatever codec the files use. A batch
// leaves out the debug lines unless -debug asks for them.
void writeMessageAsUtf8(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtDebugMsg && quietDebug)
        return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, msg).toUtf8().constData());
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

const char *const usage
    = "Usage: orbelin [options]\n"
      "Runs the Atoms converter and FEFF on every input in the working directory's input\n"
      "folders (00-Cif: CIF or Atoms inputs, 00-Inp: FEFF inputs), one job per file, and\n"
      "plots the chi(k) curves. The configuration is read from config.cfg.\n"
      "\n"
      "  -c FILE, -config FILE  the configuration file (default config.cfg)\n"
      "  -e                     English texts instead of Japanese\n"
      "  -noGui                 the main window stays hidden; the run ends when the plot\n"
      "                         window is closed\n"
      "  -batch                 no window and no display: runs the jobs, prints one line per\n"
      "                         job and ends (exit status 0 all good, 1 some job without chi\n"
      "                         data, 2 no input or a run that cannot go as configured, 3 plot,\n"
      "                         data or job log not saved, 4 results folder in use, 128+N\n"
      "                         ended by signal N)\n"
      "  -resume                jobs with a record of a good run of the same input, programs\n"
      "                         and feff.inp take that run's chi.dat instead of running\n"
      "  -joblog FILE           (-batch) one tab-separated line per finished job\n"
      "  -plot FILE             (-batch) the curves as PNG, or SVG for FILE.svg\n"
      "  -export FILE.csv       (-batch) the plotted data as CSV\n"
      "  -legend none           (-batch) the plot without the legend of its curves\n"
      "  -kweight W, -space k|r, -ft kmin,kmax,dk,hanning|kaiser\n"
      "                         the view of the plot (window and -plot)\n"
      "  -measured FILE         a measured spectrum (XDI, columns, chi(k), FILE.prj#GROUP): drawn\n"
      "                         with the curves; every job is fitted to it and ranked\n"
      "  -columns E,N[/D][,ln]  the measured file's energy and mu columns (numbers or names)\n"
      "  -bkg rbkg,kweight      its background removal (default 1,2); -e0 E: its E0 in eV\n"
      "  -measured-chi FILE     writes the measured chi(k) derived from FILE\n"
      "  -fit kmin,kmax,kweight,rmin,rmax[,one|shells]\n"
      "                         the fit's ranges (default 3,12,1,1,4.5,shells)\n"
      "  -element El            ranks jobs whose absorber is El (default: the file's element)\n"
      "  -rank FILE.tsv         (-batch) the ranking of the jobs by their fit\n"
      "  -debug                 (-batch) the debug lines too\n"
      "  --help, -h             this text\n"
      "  --version              the version\n";

// Exit status for an option whose value is not one it takes, or a run that cannot go.
const int cannotRunStatus = 2;

// A batch makes no widget: it runs on an application that cannot make one, with the
// painting of a plot only when a plot is asked for.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv, bool batch, bool plot)
{
    if (!batch) {
        QApplication::setStyle("Fusion");
        return std::make_unique<QApplication>(argc, argv);
    }
    if (plot)
        return std::make_unique<QGuiApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

// Jobs change the current directory; a path given on the command line is taken from
// where the program started.
QString absoluteOption(const ParamStore &commandLine, const QString &option)
{
    const QString path = commandLine.value(option);
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

bool haveDisplay(const ParamStore &commandLine)
{
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || commandLine.contains("-platform");
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(writeMessageAsUtf8);
    ParamStore commandLine(argc, argv);
    if (commandLine.contains("--help") || commandLine.contains("-h")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (commandLine.contains("--version")) {
        std::printf("orbelin %s\n", ORBELIN_VERSION);
        return 0;
    }
    const bool batch = commandLine.contains("-batch");
    // A mistyped option would silently give another run than the one asked for.
    const QStringList unknown = unknownOptions(commandLine);
    if (batch && !unknown.isEmpty()) {
        std::fprintf(stderr, "orbelin: unknown option %s (orbelin --help lists the options)\n",
            unknown.join(", ").toUtf8().constData());
        return cannotRunStatus;
    }
    const QString legendValue = commandLine.value("-legend");
    if (commandLine.contains("-legend") && legendValue != QLatin1String("none")) {
        std::fprintf(stderr, "-legend takes none, not \"%s\"\n", legendValue.toUtf8().constData());
        return cannotRunStatus;
    }
    const bool legend = !commandLine.contains("-legend");
    if (!batch && !haveDisplay(commandLine)) {
        std::fputs("orbelin: the windows need a display (none is set: DISPLAY, WAYLAND_DISPLAY); "
                   "orbelin -batch runs without one\n",
            stderr);
        return 1;
    }
    quietDebug = batch && !commandLine.contains("-debug");
    BatchRun::Options options;
    options.plotPath = absoluteOption(commandLine, "-plot");
    options.exportPath = absoluteOption(commandLine, "-export");
    options.jobLogPath = absoluteOption(commandLine, "-joblog");
    options.progress = batch && isatty(STDERR_FILENO);
    QString badOption = BatchRun::outputsProblem(commandLine);
    if (!badOption.isEmpty()) {
        std::fprintf(stderr, "%s\n", badOption.toUtf8().constData());
        return cannotRunStatus;
    }
    if (!viewFromOptions(commandLine, &options.view, &badOption)) {
        std::fprintf(stderr, "%s\n", badOption.toUtf8().constData());
        return cannotRunStatus;
    }
    ComparisonOptions comparison;
    if (!ComparisonOptions::fromCommandLine(commandLine, &comparison, &badOption)) {
        std::fprintf(stderr, "orbelin: %s\n", badOption.toUtf8().constData());
        return cannotRunStatus;
    }
    if (!batch && !comparison.rankPath.isEmpty()) {
        std::fputs("orbelin: -rank writes the ranking of a -batch run\n", stderr);
        return cannotRunStatus;
    }
    // A batch shows no window, so it needs no display, also to paint its plot.
    if (batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        && !commandLine.contains("-platform"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::unique_ptr<QCoreApplication> app
        = makeApplication(argc, argv, batch, !options.plotPath.isEmpty());
    QTranslator translator;
    setupLanguage(app.get(), &translator, commandLine);

    // A batch with a measured file that gives no spectrum to compare with does not run.
    MeasuredSpectrum measured;
    JobRanking ranking;
    if (batch && comparison.wanted()) {
        if (!startComparison(comparison, &measured, &ranking, &badOption)) {
            std::fprintf(stderr, "%s\n", badOption.toUtf8().constData());
            return cannotRunStatus;
        }
        std::fprintf(stderr, "%s\n", measured.summary().toUtf8().constData());
    }

    Body body(&commandLine, nullptr);
    if (!body.lockProblem().isEmpty()) {
        std::fprintf(stderr, "%s\n", body.lockProblem().toUtf8().constData());
        if (!batch)
            QMessageBox::critical(nullptr, QStringLiteral("Orbelin"), body.lockProblem());
        return BatchRun::FolderInUse;
    }
    body.setResume(commandLine.contains("-resume"));
    std::unique_ptr<BatchRun> batchRun;
    std::unique_ptr<Windows> windows;
    if (batch) {
        if (!body.setupProblems().isEmpty()) {
            for (const QString &problem : body.setupProblems())
                std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
            return cannotRunStatus;
        }
        if (comparison.wanted()) {
            options.measured = &measured;
            options.ranking = &ranking;
            options.rankPath = comparison.rankPath;
        }
        const bool ranked = comparison.wanted();
        batchRun = std::make_unique<BatchRun>(&body, options,
            [legend, ranked, &measured, &ranking](const QString &path, const QVector<Job *> &jobs,
                const PlotView &view, QString *error) {
                return ranked ? saveRankedPlot(path, jobs, measured, ranking, view, legend, error)
                              : saveJobsPlot(path, jobs, view, legend, error);
            });
        QObject::connect(batchRun.get(), &BatchRun::finished, app.get(), &QCoreApplication::exit);
    } else {
        ranking.setOptions(comparison.fit);
        windows = std::make_unique<Windows>(&body, !commandLine.contains("-noGui"), &ranking);
        if (options.view != PlotView())
            windows->setPlotView(options.view);
        if (comparison.wanted())
            windows->loadMeasured(comparison);
        QObject::connect(&body, &Body::finishing, qApp, [] { QApplication::closeAllWindows(); });
        for (const QString &option : unknown)
            emit body.log(
                QCoreApplication::translate("Gui", "Unknown option %1: left alone").arg(option));
    }
    body.scanInputDirs();
    const int status = app->exec();
    // Programs still running end with the program, a hung FEFF too.
    body.stopAll();
    windows.reset();
    return status;
}
