// Batches of growing size at the cost of the processes alone: orbelin -batch on N FEFF
// inputs with the stand-in FEFF (which writes chi.dat and exits), MAX_PROC 2, against
// GNU parallel -j 2 and xargs -P 2 on the same prepared directories; and the same batch
// run by the program with its windows shown (offscreen) against -batch.
//
//   bench_scale [--counts 300,3000,10000] [--rounds 3] [--windowed N] [--work DIR]
//               [--before ORBELIN] [--floors 0]
//       --windowed 0 leaves the windowed comparison out; --before adds the -batch run of
//       another build of the program (an older one) to each round, side by side; --floors 0
//       leaves out GNU parallel and xargs.
// Also timed (unless --floors 0): a posix_spawn loop over the same directories, with and
// without orbelin-run between it and the program: the difference is what orbelin-run
// costs per start.
//   bench_scale windowed DIR
//       the child: in DIR, the program as its entry builds it with windows shown; it
//       ends once every job has ended, with status 0 when every job gave chi data.
//
// Every variant works in a directory prepared before its clock starts: for orbelin a
// 00-Inp folder with the inputs and a config file, for the others one directory per job
// holding its feff.inp. orbelin makes its working directories inside its timed span.
// The variants alternate within each round, in an order that rotates; figures are
// medians over the rounds, ratios medians of per-round ratios.
#include "benchqt.h"
#include "benchutil.h"

#include "body.h"
#include "job.h"
#include "paramstore.h"
#include "windows.h"

#include <QApplication>

#include <filesystem>
#include <functional>
#include <map>

namespace fs = std::filesystem;
using namespace bench;

namespace {

const std::string input = ORBELIN_TEST_DATA "/feff/Cu_feff.inp";

std::string jobName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "job%05d", i);
    return name;
}

void prepareOrbelin(const std::string &root, int count)
{
    removeTree(root);
    fs::create_directories(root + "/00-Inp");
    for (int i = 0; i < count; ++i)
        fs::copy_file(input, root + "/00-Inp/" + jobName(i) + ".inp");
    writeText(root + "/my.cfg", std::string("MAX_PROC 2\nFEFF_EXE ") + FAKE_FEFF + "\n");
}

std::vector<std::string> prepareDirs(const std::string &root, int count)
{
    removeTree(root);
    std::vector<std::string> dirs;
    for (int i = 0; i < count; ++i) {
        const std::string dir = root + "/" + jobName(i);
        fs::create_directories(dir);
        fs::copy_file(input, dir + "/feff.inp");
        dirs.push_back(dir);
    }
    writeText(root + "/dirs.txt", [&] {
        std::string list;
        for (const std::string &d : dirs)
            list += d + "\n";
        return list;
    }());
    return dirs;
}

bool allChi(const std::vector<std::string> &dirs)
{
    for (const std::string &d : dirs)
        if (!fileExists(d + "/chi.dat"))
            return false;
    return true;
}

struct Figure
{
    double seconds = -1;
    long rssKb = -1;
};

Figure runOrbelin(
    const std::string &root, int count, bool windowed, const std::string &program = ORBELIN_EXE)
{
    prepareOrbelin(root, count);
    const std::vector<std::string> argv = windowed
        ? std::vector<std::string> { SELF_EXE, "windowed", root }
        : std::vector<std::string> { program, "-batch", "-c", "my.cfg" };
    const RunResult r = runProgram(argv, root, root + "/stdout.txt", root + "/stderr.txt",
                                   {"QT_QPA_PLATFORM=offscreen"});
    const std::string report = readText(root + "/stdout.txt");
    const int lines = int(std::count(report.begin(), report.end(), '\n'));
    if (r.status != 0 || (!windowed && lines != count)) {
        std::fprintf(stderr, "orbelin%s in %s: status %d, %d report lines of %d\n",
                     windowed ? " with windows" : "", root.c_str(), r.status, lines, count);
        return {};
    }
    return {r.seconds, r.peakRssKb};
}

Figure runOther(const std::string &root, int count, bool parallel)
{
    const auto dirs = prepareDirs(root, count);
    const std::string feff = FAKE_FEFF;
    const std::vector<std::string> argv = parallel
        ? std::vector<std::string>{"/usr/bin/parallel", "--will-cite", "-j", "2", "-a",
                                   root + "/dirs.txt", "cd {} && exec " + feff}
        : std::vector<std::string>{"/usr/bin/xargs", "-a", root + "/dirs.txt", "-P", "2", "-n", "1",
                                   "sh", "-c", "cd \"$1\" && exec " + feff, "sh"};
    const RunResult r = runProgram(argv, root);
    if (r.status != 0 || !allChi(dirs)) {
        std::fprintf(stderr, "%s in %s failed: status %d\n", argv[0].c_str(), root.c_str(),
                     r.status);
        return {};
    }
    return {r.seconds, r.peakRssKb};
}

// The bare posix_spawn loop, the program started itself or under orbelin-run.
Figure runSpawnLoop(const std::string &root, int count, bool supervised)
{
    const auto dirs = prepareDirs(root, count);
    const RunResult r = runProgram(
        {QPROCESS_LOOP_EXE, supervised ? "supervised" : "spawn", "2", FAKE_FEFF, root}, root);
    if (r.status != 0 || !allChi(dirs)) {
        std::fprintf(stderr, "the spawn loop in %s failed: status %d\n", root.c_str(), r.status);
        return {};
    }
    return {r.seconds, r.peakRssKb};
}

// The program with its windows, as its entry builds it, ending once all jobs have ended.
int windowedChild(int argc, char **argv, const std::string &dir)
{
    if (chdir(dir.c_str()) != 0)
        return 2;
    qInstallMessageHandler(quietMessages);
    char arg0[] = "orbelin", argC[] = "-c", argCfg[] = "my.cfg";
    char *args[] = {arg0, argC, argCfg, nullptr};
    ParamStore commandLine(3, args);
    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    Body body(&commandLine, nullptr);
    Windows windows(&body, true);
    QObject::connect(&body, &Body::idle, &app, [&] {
        for (const Job *job : body.jobs())
            if (!job->chi().valid)
                QCoreApplication::exit(1);
        QCoreApplication::exit(0);
    });
    body.scanInputDirs();
    return app.exec();
}

struct Series
{
    std::vector<double> seconds;
    std::vector<double> rssKb;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::string(argv[1]) == "windowed")
        return windowedChild(argc, argv, argv[2]);

    std::vector<int> counts{300, 3000, 10000};
    int rounds = 3;
    int windowedN = 3000;
    std::string work = "/tmp/orbelin-bench-scale";
    std::string before;
    bool floors = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--counts")
            counts = parseIntList(v);
        else if (a == "--rounds")
            rounds = std::max(1, std::atoi(v.c_str()));
        else if (a == "--windowed")
            windowedN = std::atoi(v.c_str());
        else if (a == "--work")
            work = v;
        else if (a == "--before")
            before = fs::canonical(v).string();
        else if (a == "--floors")
            floors = std::atoi(v.c_str()) != 0;
        else {
            std::fprintf(stderr,
                "usage: %s [--counts 300,3000,10000] [--rounds R] [--windowed N] "
                "[--work DIR] [--before ORBELIN] [--floors 0]\n",
                argv[0]);
            return 2;
        }
    }
    const bool parallel = floors && fileExists("/usr/bin/parallel");
    if (floors && !parallel)
        std::printf("GNU parallel is missing (Debian package parallel): its comparison is skipped\n");
    fs::create_directories(work);

    // variant -> N -> figures
    std::map<std::string, std::map<int, Series>> all;
    using Runner = std::function<Figure(const std::string &, int)>;
    std::vector<std::pair<std::string, Runner>> variants { { "orbelin -batch",
        [](const std::string &root, int n) { return runOrbelin(root, n, false); } } };
    if (!before.empty())
        variants.push_back({ "orbelin -batch, before", [&before](const std::string &root, int n) {
                                return runOrbelin(root, n, false, before);
                            } });
    if (floors)
        variants.push_back({ "xargs -P 2",
            [](const std::string &root, int n) { return runOther(root, n, false); } });
    if (floors) {
        variants.push_back({ "spawn loop",
            [](const std::string &root, int n) { return runSpawnLoop(root, n, false); } });
        variants.push_back({ "spawn loop, orbelin-run",
            [](const std::string &root, int n) { return runSpawnLoop(root, n, true); } });
    }
    if (parallel)
        variants.push_back(
            {"GNU parallel -j 2", [](const std::string &root, int n) { return runOther(root, n, true); }});
    for (int n : counts) {
        for (int round = 0; round < rounds; ++round) {
            for (size_t j = 0; j < variants.size(); ++j) {
                const auto &variant = variants[(j + size_t(round)) % variants.size()];
                const Figure f = variant.second(work + "/run", n);
                if (f.seconds < 0) {
                    result("scale N=" + std::to_string(n), "run failed", "-", "no");
                    return 1;
                }
                all[variant.first][n].seconds.push_back(f.seconds);
                all[variant.first][n].rssKb.push_back(double(f.rssKb));
            }
        }
        std::printf("N = %d\n", n);
        for (const auto &variant : variants) {
            const Series &s = all[variant.first][n];
            std::printf("  %-20s %8.3f s  %7.3f ms/job  peak RSS %6.1f MB  runs: %s\n",
                        variant.first.c_str(), median(s.seconds), 1e3 * median(s.seconds) / n,
                        median(s.rssKb) / 1024, join(s.seconds, 1.0, 3).c_str());
        }
        std::fflush(stdout);
    }
    removeTree(work + "/run");

    const int small = *std::min_element(counts.begin(), counts.end());
    const int large = *std::max_element(counts.begin(), counts.end());
    const Series &orbSmall = all["orbelin -batch"][small];
    const Series &orbLarge = all["orbelin -batch"][large];
    char fig[256];
    const double growth = (median(orbLarge.seconds) / large) / (median(orbSmall.seconds) / small);
    std::snprintf(fig, sizeof fig, "%.3f ms/job at %d, %.3f ms/job at %d: %.2fx",
                  1e3 * median(orbLarge.seconds) / large, large, 1e3 * median(orbSmall.seconds) / small,
                  small, growth);
    result("scale: -batch per-job cost, N=" + std::to_string(large) + " / N=" + std::to_string(small),
           fig, "<= 1.2x", growth <= 1.2 ? "yes" : "no");
    const auto ratioTo = [&](const std::string &other, double goal) {
        const double ratio = medianRatio(orbLarge.seconds, all[other][large].seconds);
        std::snprintf(fig, sizeof fig, "%.2f s / %.2f s = %.2f", median(orbLarge.seconds),
                      median(all[other][large].seconds), ratio);
        char goalText[32];
        std::snprintf(goalText, sizeof goalText, "<= %.1f", goal);
        result("scale: -batch / " + other + ", N=" + std::to_string(large), fig, goalText,
               ratio <= goal ? "yes" : "no");
    };
    if (parallel)
        ratioTo("GNU parallel -j 2", 0.5);
    if (floors) {
        ratioTo("xargs -P 2", 2.5);
        for (int n : counts) {
            const Series &direct = all["spawn loop"][n];
            const Series &supervised = all["spawn loop, orbelin-run"][n];
            std::snprintf(fig, sizeof fig, "%.3f ms per start (%.2f s / %.2f s = %.2f)",
                1e3 * (median(supervised.seconds) - median(direct.seconds)) / n,
                median(supervised.seconds), median(direct.seconds),
                medianRatio(supervised.seconds, direct.seconds));
            result("scale: orbelin-run's cost, spawn loop, N=" + std::to_string(n), fig, "-", "-");
        }
    }
    const double rss = median(orbLarge.rssKb) / 1024;
    std::snprintf(fig, sizeof fig, "%.1f MB", rss);
    if (!before.empty()) {
        const Series &old = all["orbelin -batch, before"][large];
        std::snprintf(fig, sizeof fig, "%.1f MB, before %.1f MB (%+.1f %%); %.3f s, before %.3f s",
            rss, median(old.rssKb) / 1024, 100 * (median(orbLarge.rssKb) / median(old.rssKb) - 1),
            median(orbLarge.seconds), median(old.seconds));
    }
    result("scale: -batch peak RSS, N=" + std::to_string(large), fig, "< 150 MB",
           rss < 150 ? "yes" : "no");

    if (windowedN > 0) {
        Series batch, shown;
        for (int round = 0; round < rounds; ++round) {
            for (int j = 0; j < 2; ++j) {
                const bool windowed = (j + round) % 2 == 1;
                const Figure f = runOrbelin(work + "/run", windowedN, windowed);
                if (f.seconds < 0) {
                    result("scale: windows shown", "run failed", "-", "no");
                    return 1;
                }
                (windowed ? shown : batch).seconds.push_back(f.seconds);
                (windowed ? shown : batch).rssKb.push_back(double(f.rssKb));
            }
        }
        removeTree(work + "/run");
        const double ratio = medianRatio(shown.seconds, batch.seconds);
        std::printf("N = %d, windows shown %.3f s (%.1f MB), -batch %.3f s (%.1f MB)\n", windowedN,
                    median(shown.seconds), median(shown.rssKb) / 1024, median(batch.seconds),
                    median(batch.rssKb) / 1024);
        std::snprintf(fig, sizeof fig, "%.2f s / %.2f s = %.2f", median(shown.seconds),
                      median(batch.seconds), ratio);
        result("scale: windows shown / -batch, N=" + std::to_string(windowedN), fig, "<= 1.5",
               ratio <= 1.5 ? "yes" : "no");
    }
    return 0;
}
