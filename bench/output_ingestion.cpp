// Output ingestion: a FEFF stand-in prints 5,000 lines of 80 characters; how long from
// the job's start until all of it is in the job's FEFF output area, against a bare
// QProcess that reads and discards the same output, in the same run.
//
//   bench_output [--rounds R] [--lines N] [--width W] [--work DIR]
//
// Three variants, alternated within every round, each a fresh run of the stand-in:
//   bare     QProcess, merged channels, readAll() on readyRead, until finished
//   hidden   a Demeter job row never shown (as in orbelin -batch), start() until state() == 0
//   shown    the same with the row shown as a window (offscreen platform), so that the
//            text area also lays out and paints while the output comes in
// and two ways of printing: in blocks (the stand-in's stdout buffer) and --flush-lines
// (one write per line).
// The job's figure ends when state() becomes 0: the process has ended, its last output
// has been inserted and chi.dat has been read. "settled" adds the events still pending
// right after (deferred layout and paint of the shown row).
#include "benchqt.h"
#include "benchutil.h"

#include "demeter.h"
#include "jobmodel.h"
#include "language.h"
#include "paramstore.h"
#include "runsettings.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTextDocument>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTranslator>

using namespace bench;

namespace {

struct Config
{
    int rounds = 11;
    int lines = 5000;
    int width = 80;
    QString work = "/tmp/orbelin-bench-output";
};

struct Measure
{
    double done = -1;    // seconds to the end of the run as the variant sees it
    double settled = -1; // the same plus the events that were pending at that moment
    bool ok = false;
};

int counter = 0;

QStringList fakeArgs(const Config &cfg, bool flushLines)
{
    QStringList args{"--lines", QString::number(cfg.lines), "--width", QString::number(cfg.width)};
    if (flushLines)
        args << "--flush-lines";
    return args;
}

void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

Measure runBare(const Config &cfg, bool flushLines)
{
    const QString dir = cfg.work + QString("/bare%1").arg(++counter);
    QDir().mkpath(dir);
    writeText((dir + "/feff.inp").toStdString(), "x\n");

    QProcess proc;
    proc.setProgram(FAKE_FEFF);
    proc.setArguments(fakeArgs(cfg, flushLines));
    proc.setProcessChannelMode(QProcess::MergedChannels);
    proc.setWorkingDirectory(dir);
    qint64 bytes = 0;
    QEventLoop loop;
    QObject::connect(&proc, &QProcess::readyRead, [&] { bytes += proc.readAll().size(); });
    QObject::connect(&proc, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     &loop, &QEventLoop::quit);
    Measure m;
    const double t0 = now();
    proc.start(QIODevice::ReadOnly);
    loop.exec();
    bytes += proc.readAll().size();
    m.done = now() - t0;
    settle();
    m.settled = now() - t0;
    m.ok = bytes >= qint64(cfg.lines) * cfg.width;
    if (!m.ok)
        std::fprintf(stderr, "bare run read %lld bytes only\n", static_cast<long long>(bytes));
    return m;
}

Measure runJob(const Config &cfg, bool flushLines, bool shown)
{
    const QString name = QString("job%1").arg(++counter);
    const QString input = cfg.work + "/in/" + name + ".inp";
    writeText(input.toStdString(), "x\n");

    RunSettings settings;
    settings.environment = QProcessEnvironment::systemEnvironment();
    settings.cifFiles = cfg.work + "/in";
    settings.inpFiles = cfg.work + "/in";
    settings.resFiles = cfg.work + "/res";
    settings.feffExe = FAKE_FEFF;
    settings.feffArgs = fakeArgs(cfg, flushLines);

    auto *job = new Job(&settings, QFileInfo(input), 6, nullptr);
    JobModel rows;
    rows.addJob(job);
    Demeter *row = nullptr;
    if (shown) {
        row = new Demeter;
        row->showRow(rows.index(0));
        row->resize(896, 628);
        row->show();
    }
    settle();

    QEventLoop loop;
    QObject::connect(job, &Job::procStopped, &loop, &QEventLoop::quit);
    Measure m;
    const double t0 = now();
    job->start();
    while (job->state() != 0)
        loop.exec();
    m.done = now() - t0;
    settle();
    m.settled = now() - t0;

    const QString text = row ? row->findChild<QPlainTextEdit *>("ResFeff")->toPlainText() : job->feffText();
    const QString last = QString("line %1 ").arg(cfg.lines - 1);
    // The area keeps the last 10,000 lines of a longer output.
    m.ok = text.contains(last) && text.size() >= qMin(cfg.lines, 9990) * cfg.width
        && job->chi().valid;
    if (!m.ok)
        std::fprintf(stderr, "job %s: output area holds %d characters, chi %s\n",
                     qPrintable(name), int(text.size()), job->chi().valid ? "read" : "missing");
    delete row;
    delete job;
    return m;
}

struct Series
{
    std::vector<double> done;
    std::vector<double> settled;
};

} // namespace

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Config cfg;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString a = argv[i];
        if (a == "--rounds")
            cfg.rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--lines")
            cfg.lines = std::atoi(argv[i + 1]);
        else if (a == "--width")
            cfg.width = std::atoi(argv[i + 1]);
        else if (a == "--work")
            cfg.work = argv[i + 1];
    }
    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    // The program's catalogue, as the program installs it.
    QTranslator translator;
    setupLanguage(&app, &translator, ParamStore());
    removeTree(cfg.work.toStdString());
    QDir().mkpath(cfg.work + "/in");
    QDir().mkpath(cfg.work + "/res");
    // Jobs change the current directory when they start FEFF; come back afterwards.
    const QString startDir = QDir::currentPath();

    std::printf("Output ingestion: %d lines of %d characters, %d rounds, platform %s\n",
                cfg.lines, cfg.width, cfg.rounds, qPrintable(QGuiApplication::platformName()));
    // One untimed warm-up of each variant: first-use costs (fonts, style) are not the
    // steady state of a program that has been running.
    runBare(cfg, false);
    runJob(cfg, false, false);
    runJob(cfg, false, true);

    bool allOk = true;
    for (bool flushLines : {false, true}) {
        Series bare, hidden, shown;
        for (int r = 0; r < cfg.rounds; ++r) {
            for (int j = 0; j < 3; ++j) {
                const int which = (j + r) % 3;
                Measure m;
                if (which == 0)
                    m = runBare(cfg, flushLines);
                else
                    m = runJob(cfg, flushLines, which == 2);
                allOk = allOk && m.ok;
                Series &s = which == 0 ? bare : which == 1 ? hidden : shown;
                s.done.push_back(m.done);
                s.settled.push_back(m.settled);
            }
        }
        const char *mode = flushLines ? "--flush-lines" : "blocks";
        std::printf("%s:\n", mode);
        std::printf("  bare QProcess        median %8.2f ms  runs: %s\n", 1e3 * median(bare.done),
                    join(bare.done, 1e3, 1).c_str());
        std::printf("  job row, hidden      median %8.2f ms  settled %8.2f ms  runs: %s\n",
                    1e3 * median(hidden.done), 1e3 * median(hidden.settled),
                    join(hidden.done, 1e3, 1).c_str());
        std::printf("  job row, shown       median %8.2f ms  settled %8.2f ms  runs: %s\n",
                    1e3 * median(shown.done), 1e3 * median(shown.settled),
                    join(shown.done, 1e3, 1).c_str());
        const double rh = medianRatio(hidden.done, bare.done);
        const double rs = medianRatio(shown.done, bare.done);
        const double rss = medianRatio(shown.settled, bare.done);
        std::printf("  ratio hidden/bare %.2f, shown/bare %.2f (settled %.2f)\n", rh, rs, rss);
        char fig[256];
        std::snprintf(fig, sizeof fig,
                      "bare %.1f ms; hidden row %.1f ms (%.2fx); shown row %.1f ms (%.2fx, "
                      "settled %.2fx)",
                      1e3 * median(bare.done), 1e3 * median(hidden.done), rh,
                      1e3 * median(shown.done), rs, rss);
        const double worst = std::max(rh, rss);
        result("output " + std::to_string(cfg.lines) + "x" + std::to_string(cfg.width) + " " + mode, fig, "<= 10x bare",
               allOk ? (worst <= 10 ? "yes" : "no") : "run failed");
    }
    QDir::setCurrent(startDir);
    removeTree(cfg.work.toStdString());
    return allOk ? 0 : 1;
}
