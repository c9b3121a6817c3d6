// Batch throughput: the same N FEFF jobs run by `orbelin -batch` and by what a user
// would script instead (GNU parallel), and, with the stand-in FEFF, by a bare QProcess
// loop and a posix_spawn loop: the floors any manager pays.
//
//   bench_batch --feff real|fake [--n N] [--procs 2,6] [--rounds 5] [--goal RATIO] [--work DIR]
//
// real: /usr/bin/feff6 on copies of Cu_feff.inp and FeO_feff.inp, alternating.
// fake: the stand-in fake_feff, which writes chi.dat at once and exits.
//
// Every measurement gets a fresh working directory, prepared before the clock starts:
// for orbelin a 00-Inp folder holding the N inputs and a config file; for the others
// one directory per job already holding its feff.inp (orbelin makes its directories
// and copies the inputs inside its timed span). The variants are run one after the
// other inside every round, in an order that rotates from round to round; the figures
// are medians over the rounds, the ratios medians of the per-round ratios.
#include "benchutil.h"

#include <filesystem>
#include <functional>
#include <sstream>

namespace fs = std::filesystem;
using namespace bench;

namespace {

struct Options
{
    bool real = true;
    int n = 0;
    std::vector<int> procs{2, 6};
    int rounds = 5;
    double goal = 1.05; // orbelin / GNU parallel
    std::string work = "/tmp/orbelin-bench-batch";
};

std::vector<std::string> inputFiles(bool real)
{
    const std::string data = ORBELIN_TEST_DATA "/feff/";
    if (real)
        return {data + "Cu_feff.inp", data + "FeO_feff.inp"};
    return {data + "Cu_feff.inp"};
}

std::string feffProgram(bool real)
{
    return real ? std::string("/usr/bin/feff6") : std::string(FAKE_FEFF);
}

void jobName(int i, char *buf, size_t size)
{
    std::snprintf(buf, size, "job%04d", i);
}

// <root>/00-Inp/jobNNNN.inp and <root>/my.cfg
void prepareOrbelin(const std::string &root, const Options &opt, int count, int maxProc)
{
    removeTree(root);
    fs::create_directories(root + "/00-Inp");
    const auto inputs = inputFiles(opt.real);
    for (int i = 0; i < count; ++i) {
        char name[32];
        jobName(i, name, sizeof name);
        fs::copy_file(inputs[size_t(i) % inputs.size()], root + "/00-Inp/" + name + ".inp");
    }
    std::ostringstream cfg;
    cfg << "MAX_PROC " << maxProc << "\nFEFF_EXE " << feffProgram(opt.real) << "\n";
    writeText(root + "/my.cfg", cfg.str());
}

// <root>/jobNNNN/feff.inp
std::vector<std::string> prepareJobDirs(const std::string &root, const Options &opt, int count)
{
    removeTree(root);
    const auto inputs = inputFiles(opt.real);
    std::vector<std::string> dirs;
    for (int i = 0; i < count; ++i) {
        char name[32];
        jobName(i, name, sizeof name);
        const std::string dir = root + "/" + name;
        fs::create_directories(dir);
        fs::copy_file(inputs[size_t(i) % inputs.size()], dir + "/feff.inp");
        dirs.push_back(dir);
    }
    if (count == 0)
        fs::create_directories(root);
    return dirs;
}

int countChi(const std::vector<std::string> &dirs)
{
    int n = 0;
    for (const std::string &d : dirs)
        n += fileExists(d + "/chi.dat");
    return n;
}

int countLines(const std::string &text)
{
    return int(std::count(text.begin(), text.end(), '\n'));
}

// Each runner prepares its directory, runs, checks the results and returns the
// seconds of the run, or -1 when the run failed.
double runOrbelin(const Options &opt, int count, int maxProc, const std::string &root,
                  bool expectChi)
{
    prepareOrbelin(root, opt, count, maxProc);
    const RunResult r = runProgram({ORBELIN_EXE, "-batch", "-c", "my.cfg"}, root,
                                   root + "/stdout.txt", root + "/stderr.txt",
                                   {"QT_QPA_PLATFORM=offscreen"});
    const int lines = countLines(readText(root + "/stdout.txt"));
    // Status 0: every job produced chi data. MAX_PROC 0 is refused before any job is made
    // (status 2, no line), as is a run without input.
    const bool ok = expectChi ? r.status == 0 && lines == count : r.status == 2 && lines == 0;
    if (!ok) {
        std::fprintf(stderr, "orbelin run in %s failed: status %d, %d report lines of %d\n",
                     root.c_str(), r.status, lines, count);
        return -1;
    }
    return r.seconds;
}

double runParallel(const Options &opt, int procs, int count, const std::string &root)
{
    const auto dirs = prepareJobDirs(root, opt, count);
    std::vector<std::string> argv{"/usr/bin/parallel", "--will-cite", "-j", std::to_string(procs),
                                  "cd {} && " + feffProgram(opt.real), ":::"};
    for (const std::string &d : dirs)
        argv.push_back(d);
    const RunResult r = runProgram(argv, root, std::string(), root + "/../parallel-stderr.txt");
    const int chi = countChi(dirs);
    if (r.status != 0 || chi != count) {
        std::fprintf(stderr, "parallel run in %s failed: status %d, %d chi.dat of %d\n",
                     root.c_str(), r.status, chi, count);
        return -1;
    }
    return r.seconds;
}

double runLoop(const Options &opt, const char *mode, int procs, int count, const std::string &root)
{
    const auto dirs = prepareJobDirs(root, opt, count);
    const RunResult r = runProgram({QPROCESS_LOOP_EXE, mode, std::to_string(procs),
                                    feffProgram(opt.real), root},
                                   root);
    const int chi = countChi(dirs);
    if (r.status != 0 || chi != count) {
        std::fprintf(stderr, "%s loop in %s failed: status %d, %d chi.dat of %d\n", mode,
                     root.c_str(), r.status, chi, count);
        return -1;
    }
    return r.seconds;
}

struct Series
{
    std::string label;
    std::vector<double> seconds;
};

void printSeries(const Series &s, int n)
{
    std::printf("  %-34s median %8.3f s  (%7.3f ms/job)  runs: %s\n", s.label.c_str(),
                median(s.seconds), n > 0 ? 1e3 * median(s.seconds) / n : 0.0,
                join(s.seconds, 1.0, 3).c_str());
}

bool haveParallel()
{
    return fileExists("/usr/bin/parallel");
}

} // namespace

int main(int argc, char **argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const std::string v = i + 1 < argc ? argv[i + 1] : "";
        if (a == "--feff") {
            opt.real = v != "fake";
            ++i;
        } else if (a == "--n") {
            opt.n = std::atoi(v.c_str());
            ++i;
        } else if (a == "--rounds") {
            opt.rounds = std::max(1, std::atoi(v.c_str()));
            ++i;
        } else if (a == "--work") {
            opt.work = v;
            ++i;
        } else if (a == "--procs") {
            opt.procs = parseIntList(v);
            ++i;
        } else if (a == "--goal") {
            opt.goal = std::atof(v.c_str());
            ++i;
        } else {
            std::fprintf(stderr,
                         "usage: %s --feff real|fake [--n N] [--procs 2,6] [--rounds R] [--goal RATIO] [--work DIR]\n",
                         argv[0]);
            return 2;
        }
    }
    if (opt.n <= 0)
        opt.n = opt.real ? 60 : 300;
    if (opt.real && !fileExists("/usr/bin/feff6")) {
        std::printf("/usr/bin/feff6 is missing (Debian package ifeffit): skipped\n");
        return 0;
    }
    const bool parallel = haveParallel();
    if (!parallel)
        std::printf("GNU parallel is missing (Debian package parallel): that comparison is skipped\n");

    const std::string kind = opt.real ? "feff6" : "fake_feff";
    std::printf("Batch throughput, %s, N = %d, %d rounds, work dir %s\n", kind.c_str(), opt.n,
                opt.rounds, opt.work.c_str());
    fs::create_directories(opt.work);

    for (int procs : opt.procs) {
        std::vector<std::pair<std::string, std::function<double(const std::string &)>>> variants;
        const int n = opt.n;
        variants.push_back({"orbelin -batch", [&](const std::string &root) {
                                return runOrbelin(opt, n, procs, root, true);
                            }});
        if (parallel)
            variants.push_back({"GNU parallel", [&](const std::string &root) {
                                    return runParallel(opt, procs, n, root);
                                }});
        if (!opt.real) {
            variants.push_back({"orbelin -batch, MAX_PROC 0", [&](const std::string &root) {
                                    return runOrbelin(opt, n, 0, root, false);
                                }});
            variants.push_back({"orbelin -batch, no input", [&](const std::string &root) {
                                    return runOrbelin(opt, 0, 0, root, false);
                                }});
            variants.push_back({"bare QProcess loop", [&](const std::string &root) {
                                    return runLoop(opt, "qprocess", procs, n, root);
                                }});
            variants.push_back({"bare QProcess loop, no job", [&](const std::string &root) {
                                    return runLoop(opt, "qprocess", procs, 0, root);
                                }});
            variants.push_back({"posix_spawn loop", [&](const std::string &root) {
                                    return runLoop(opt, "spawn", procs, n, root);
                                }});
        }

        std::vector<Series> series;
        for (const auto &v : variants)
            series.push_back({v.first, {}});
        bool failed = false;
        for (int round = 0; round < opt.rounds && !failed; ++round) {
            for (size_t j = 0; j < variants.size(); ++j) {
                const size_t idx = (j + size_t(round)) % variants.size();
                const std::string root = opt.work + "/run";
                const double s = variants[idx].second(root);
                if (s < 0) {
                    failed = true;
                    break;
                }
                series[idx].seconds.push_back(s);
            }
        }
        removeTree(opt.work + "/run");
        if (failed) {
            std::printf("P = %d: a run failed, see above; no figures\n", procs);
            result("batch " + kind + " N=" + std::to_string(opt.n) + " P=" + std::to_string(procs),
                   "run failed", "-", "no");
            continue;
        }

        std::printf("P = %d\n", procs);
        for (const Series &s : series)
            printSeries(s, opt.n);
        auto find = [&](const std::string &label) -> const std::vector<double> & {
            for (const Series &s : series)
                if (s.label == label)
                    return s.seconds;
            static const std::vector<double> none;
            return none;
        };
        const auto &orb = find("orbelin -batch");
        const std::string tag =
            kind + " N=" + std::to_string(opt.n) + " P=" + std::to_string(procs);
        char fig[256];
        if (parallel) {
            const auto &par = find("GNU parallel");
            const double ratio = medianRatio(orb, par);
            std::printf("  ratio orbelin / parallel (median of per-round ratios): %.3f\n", ratio);
            std::snprintf(fig, sizeof fig, "orbelin %.3f s, parallel %.3f s, ratio %.3f",
                          median(orb), median(par), ratio);
            char goalText[32];
            std::snprintf(goalText, sizeof goalText, "ratio <= %.2f", opt.goal);
            result("batch " + tag + " vs GNU parallel", fig, goalText, ratio <= opt.goal ? "yes" : "no");
        }
        if (!opt.real) {
            const auto &bare = find("bare QProcess loop");
            const auto &bare0 = find("bare QProcess loop, no job");
            const auto &orb0 = find("orbelin -batch, MAX_PROC 0");
            const auto &orbEmpty = find("orbelin -batch, no input");
            const auto &spawnLoop = find("posix_spawn loop");
            std::vector<double> perJob, perJobRun, rows, startDiff;
            for (size_t r = 0; r < orb.size(); ++r) {
                perJob.push_back((orb[r] - bare[r]) / opt.n);
                // the part spent after all rows exist, above the bare loop's own
                perJobRun.push_back(((orb[r] - orb0[r]) - (bare[r] - bare0[r])) / opt.n);
                rows.push_back((orb0[r] - orbEmpty[r]) / opt.n);
                startDiff.push_back(orbEmpty[r] - bare0[r]);
            }
            const double over = median(perJob);
            std::printf("  orbelin above the bare QProcess loop: %.3f ms/job "
                        "(per round: %s)\n",
                        1e3 * over, join(perJob, 1e3, 3).c_str());
            std::printf("    of which start-up (orbelin with no input - bare loop with no job): "
                        "%.1f ms in all, %.3f ms/job\n",
                        1e3 * median(startDiff), 1e3 * median(startDiff) / opt.n);
            std::printf("    (MAX_PROC 0 with N inputs - no input, both refused before any job: "
                        "%.3f ms/job)\n",
                        1e3 * median(rows));
            std::printf("    of which running (after the rows exist, above the bare loop's run): "
                        "%.3f ms/job\n",
                        1e3 * median(perJobRun));
            std::printf("  bare QProcess loop: %.3f ms/job; posix_spawn loop: %.3f ms/job\n",
                        1e3 * median(bare) / opt.n, 1e3 * median(spawnLoop) / opt.n);
            std::snprintf(fig, sizeof fig,
                          "%.3f ms/job above bare QProcess loop (%.3f ms/job; start-up %.3f, "
                          "rows %.3f, running %.3f ms/job)",
                          1e3 * over, 1e3 * median(bare) / opt.n,
                          1e3 * median(startDiff) / opt.n, 1e3 * median(rows),
                          1e3 * median(perJobRun));
            result("batch " + tag + " overhead", fig, "<= 1 ms/job", over <= 0.001 ? "yes" : "no");
            std::snprintf(fig, sizeof fig, "%.3f ms/job (QProcess loop %.3f ms/job)",
                          1e3 * median(spawnLoop) / opt.n, 1e3 * median(bare) / opt.n);
            result("batch " + tag + " posix_spawn floor", fig, "-", "-");
        }
    }
    return 0;
}
