// Start-up at scale: from process launch to the main window's first paint, and the peak
// resident set at that moment, with 0 to 10000 input files queued (MAX_PROC 0,
// so nothing runs), against a bare QMainWindow program.
//
//   bench_startup [--counts 0,1,100,1000,10000] [--rounds 5] [--work DIR] [--platform NAME]
//       runs every measurement as a fresh child process (this same program) and prints
//       the medians. The children run on the offscreen platform unless --platform says
//       otherwise (xcb under xvfb-run -a, for instance).
//   bench_startup child orbelin|orbelin-e|bare|bare-text DIR
//       the child: in DIR, builds the program as its entry does (Fusion style, the
//       translator, Body with "-c my.cfg"), or a bare QMainWindow, or a bare QMainWindow
//       holding one QLabel (to tell the first text's cost apart), or orbelin with -e
//       (English texts, no catalogue), and prints
//       "PAINTED <monotonic seconds at first paint> <after it> <VmHWM kB> <jobs>"
//   bench_startup prepare DIR N
//       makes DIR/00-Inp with N inputs and DIR/my.cfg, for profiling the child by hand
//
// The parent takes the monotonic clock just before posix_spawn; the child reports the
// monotonic clock when the first Paint event reaches its QMainWindow and again once that
// paint (the window and all its children, into the backing store) has returned to the
// event loop. The figure is the latter minus the launch time. The child exits at once
// afterwards; tearing down is not timed.
#include "benchqt.h"
#include "benchutil.h"

#include "body.h"
#include "windows.h"
#include "language.h"
#include "paramstore.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <QTranslator>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace bench;

namespace {

// Sees the first Paint event of a main window, then reports once the event loop is back.
class FirstPaint : public QObject
{
public:
    const QVector<Job *> *jobs = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!seen && event->type() == QEvent::Paint && qobject_cast<QMainWindow *>(watched)) {
            seen = true;
            paintStart = now();
            QTimer::singleShot(0, [this] { report(); });
        }
        return false;
    }

private:
    void report()
    {
        const double after = now();
        std::printf("PAINTED %.6f %.6f %ld %d\n", paintStart, after, peakRssKb(),
                    jobs ? int(jobs->size()) : 0);
        std::fflush(stdout);
        std::_Exit(0);
    }

    bool seen = false;
    double paintStart = 0;
};

int child(int argc, char **argv, const std::string &mode, const std::string &dir)
{
    if (chdir(dir.c_str()) != 0) {
        std::perror(dir.c_str());
        return 2;
    }
    qInstallMessageHandler(quietMessages);
    FirstPaint watcher;
    // Nothing appears within a minute: report the failure rather than hang the parent.
    const auto startWatchdog = [] {
        QTimer::singleShot(60000, [] {
            std::printf("NOPAINT\n");
            std::fflush(stdout);
            std::_Exit(3);
        });
    };

    if (mode == "bare" || mode == "bare-text") {
        QApplication::setStyle("Fusion");
        QApplication app(argc, argv);
        app.installEventFilter(&watcher);
        startWatchdog();
        QMainWindow window;
        // One line of text: the first use of a font (fontconfig match, glyph loading),
        // which a window without text never pays.
        if (mode == "bare-text")
            window.setCentralWidget(new QLabel("Orbelin"));
        window.show();
        return app.exec();
    }

    // As the program's entry builds it, without -batch: the windows are shown.
    // "orbelin-e": the same with -e, the untranslated (English) texts.
    char arg0[] = "orbelin", argC[] = "-c", argCfg[] = "my.cfg", argE[] = "-e";
    char *args[] = {arg0, argC, argCfg, argE, nullptr};
    ParamStore commandLine(mode == "orbelin-e" ? 4 : 3, args);
    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    app.installEventFilter(&watcher);
    startWatchdog();
    QTranslator translator;
    setupLanguage(&app, &translator, commandLine);
    Body body(&commandLine, nullptr);
    Windows windows(&body, true);
    body.scanInputDirs();
    watcher.jobs = &body.jobs();
    return app.exec();
}

void prepare(const std::string &dir, int count)
{
    prepareQueuedInputs(dir, count, ORBELIN_TEST_DATA "/feff/Cu_feff.inp", FAKE_FEFF);
}

struct Sample
{
    double seconds = -1;
    double paintStartSeconds = -1;
    long rssKb = -1;
    int jobs = -1;
};

Sample measure(const std::string &self, const std::string &mode, const std::string &dir,
               const std::string &platform)
{
    const std::string out = dir + ".out";
    const double t0 = now();
    const RunResult r = runProgram({self, "child", mode, dir}, "/", out, dir + ".err",
                                   {"QT_QPA_PLATFORM=" + platform});
    Sample s;
    const std::string text = readText(out);
    const size_t at = text.find("PAINTED ");
    if (r.status != 0 || at == std::string::npos) {
        std::fprintf(stderr, "child %s in %s failed (status %d): %s%s\n", mode.c_str(),
                     dir.c_str(), r.status, text.c_str(), readText(dir + ".err").c_str());
        return s;
    }
    std::istringstream fields(text.substr(at + 8));
    double paintStart = 0, paintDone = 0;
    fields >> paintStart >> paintDone >> s.rssKb >> s.jobs;
    s.seconds = paintDone - t0;
    s.paintStartSeconds = paintStart - t0;
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && std::string(argv[1]) == "child")
        return child(argc, argv, argv[2], argv[3]);
    if (argc >= 4 && std::string(argv[1]) == "prepare") {
        prepare(argv[2], std::atoi(argv[3]));
        return 0;
    }

    std::vector<int> counts{0, 1, 100, 1000};
    int rounds = 5;
    std::string work = "/tmp/orbelin-bench-startup";
    std::string platform = "offscreen";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (a == "--work") {
            work = argv[i + 1];
        } else if (a == "--platform") {
            platform = argv[i + 1];
        } else if (a == "--counts") {
            counts = parseIntList(argv[i + 1]);
        }
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    fs::create_directories(work);

    // Variant 0 is the bare QMainWindow, 1 the same with a label, 2 orbelin -e with no
    // file, then orbelin with each count of files.
    const size_t extra = 3;
    const size_t nv = counts.size() + extra;
    std::vector<std::vector<double>> secs(nv), paintStart(nv), rss(nv);
    std::vector<int> jobs(nv, -1);
    bool ok = true;
    std::printf("Start-up to first paint of the main window, platform %s, %d rounds\n",
                platform.c_str(), rounds);
    for (int r = 0; r < rounds && ok; ++r) {
        for (size_t j = 0; j < nv && ok; ++j) {
            const size_t v = (j + size_t(r)) % nv;
            const std::string dir = work + "/run";
            prepare(dir, v < extra ? 0 : counts[v - extra]);
            const char *mode = v == 0 ? "bare" : v == 1 ? "bare-text" : v == 2 ? "orbelin-e" : "orbelin";
            const Sample s = measure(self, mode, dir, platform);
            removeTree(dir);
            if (s.seconds < 0) {
                ok = false;
                break;
            }
            secs[v].push_back(s.seconds);
            paintStart[v].push_back(s.paintStartSeconds);
            rss[v].push_back(double(s.rssKb));
            jobs[v] = s.jobs;
        }
    }
    removeTree(work);
    if (!ok) {
        result("start-up", "run failed", "-", "no");
        return 1;
    }

    for (size_t v = 0; v < nv; ++v) {
        const std::string label = v == 0 ? std::string("bare QMainWindow")
            : v == 1                     ? std::string("bare QMainWindow+QLabel")
            : v == 2                     ? std::string("orbelin -e, 0 files")
                                         : "orbelin, " + std::to_string(counts[v - extra]) + " files";
        std::printf("  %-24s first paint done %8.1f ms (paint began %8.1f ms)  peak RSS %7.1f MB"
                    "  jobs %d  runs: %s\n",
                    label.c_str(), 1e3 * median(secs[v]), 1e3 * median(paintStart[v]),
                    median(rss[v]) / 1024.0, v < extra ? 0 : jobs[v], join(secs[v], 1e3, 1).c_str());
    }
    const std::string on = platform == "offscreen" ? std::string() : " (" + platform + ")";
    char fig[256];
    std::snprintf(fig, sizeof fig, "%.1f ms vs bare QMainWindow %.1f ms: %.2fx",
                  1e3 * median(secs[1]), 1e3 * median(secs[0]), medianRatio(secs[1], secs[0]));
    result("start-up" + on + ", bare QMainWindow+QLabel", fig, "- (reference)", "-");
    std::snprintf(fig, sizeof fig, "%.1f ms vs bare QMainWindow %.1f ms: %.2fx",
                  1e3 * median(secs[2]), 1e3 * median(secs[0]), medianRatio(secs[2], secs[0]));
    result("start-up" + on + ", empty, English (-e)", fig, "- (reference)", "-");
    for (size_t v = extra; v < nv; ++v) {
        const int count = counts[v - extra];
        const double ratio = medianRatio(secs[v], secs[0]);
        const double t = median(secs[v]);
        const double mb = median(rss[v]) / 1024.0;
        if (count == 0) {
            std::snprintf(fig, sizeof fig,
                          "%.1f ms vs bare QMainWindow %.1f ms: %.2fx (vs QMainWindow+QLabel "
                          "%.2fx); %.1f MB vs %.1f MB",
                          1e3 * t, 1e3 * median(secs[0]), ratio, medianRatio(secs[v], secs[1]),
                          mb, median(rss[0]) / 1024.0);
            result("start-up" + on + ", empty", fig, "<= 1.5x bare QMainWindow", ratio <= 1.5 ? "yes" : "no");
        } else if (count == 1000) {
            std::snprintf(fig, sizeof fig, "%.3f s, %.1f MB peak RSS (%.1fx bare)", t, mb, ratio);
            result("start-up" + on + ", 1000 files", fig, "<= 1.0 s", t <= 1.0 ? "yes" : "no");
        } else if (count == 10000) {
            // Against the figure for 1000 files, when the run had one.
            const auto thousand = std::find(counts.begin(), counts.end(), 1000);
            const double growth = thousand == counts.end()
                ? 0
                : t / median(secs[extra + size_t(thousand - counts.begin())]);
            std::snprintf(fig, sizeof fig, "%.3f s, %.1f MB peak RSS, %.1fx the 1000-file figure", t,
                          mb, growth);
            result("start-up" + on + ", 10000 files", fig, "<= 5 s, <= 500 MB, <= 11x 1000 files",
                   t <= 5 && mb <= 500 && growth <= 11 ? "yes" : "no");
        } else {
            std::snprintf(fig, sizeof fig, "%.1f ms, %.1f MB peak RSS (%.1fx bare)", 1e3 * t, mb,
                          ratio);
            result("start-up" + on + ", " + std::to_string(count) + " files", fig, "-", "-");
        }
    }
    return 0;
}
