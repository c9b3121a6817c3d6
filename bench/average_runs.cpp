// A structure averaged over its sites and its disorder: NiFe2O4 with Fe on the
// tetrahedral site and Fe and Ni sharing the octahedral one, converted with
// "--sites all --configurations 8" (16 FEFF inputs), run by `orbelin -batch` with
// MAX_PROC 2 (converter, 16 feff6 runs, average) against GNU parallel -j 2 running the
// same 16 feff6 runs in directories prepared beforehand.
//
//   bench_average [--rounds 5] [--goal RATIO] [--work DIR]
//
// The inputs for GNU parallel are the feff.inp files of an untimed orbelin run. Every
// measurement gets a fresh directory, prepared before the clock starts; the two variants
// alternate within each round, in an order that rotates from round to round.
#include "benchutil.h"

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using namespace bench;

namespace {

const int procs = 2;
const int expectedRuns = 16;
const char *const structure = "nife2o4_shared.cif";

std::string orbelinConfig()
{
    std::ostringstream cfg;
    cfg << "MAX_PROC " << procs << "\nATOMS_EXE " << ORBELIN_ATOMS
        << "\nATOMS_ARG \"--sites all --configurations 8\"\nFEFF_EXE /usr/bin/feff6\n";
    return cfg.str();
}

void prepareOrbelin(const std::string &root)
{
    removeTree(root);
    fs::create_directories(root + "/00-Cif");
    fs::copy_file(
        std::string(ORBELIN_TEST_DATA "/atoms/") + structure, root + "/00-Cif/" + structure);
    writeText(root + "/my.cfg", orbelinConfig());
}

// The job's working directory from its report line, and the number of runs (the seventh
// field), or an empty directory when the line is not that of a good job of several runs.
std::string goodJobDir(const std::string &report, int *runs)
{
    std::vector<std::string> fields;
    std::stringstream line(report.substr(0, report.find('\n')));
    std::string field;
    while (std::getline(line, field, '\t'))
        fields.push_back(field);
    if (fields.size() != 7 || fields[5] != "ok")
        return std::string();
    *runs = std::atoi(fields[6].c_str());
    return fields[4];
}

double runOrbelin(const std::string &root, std::string *jobDir = nullptr)
{
    prepareOrbelin(root);
    const RunResult r = runProgram({ ORBELIN_EXE, "-batch", "-c", "my.cfg", "-e" }, root,
        root + "/stdout.txt", root + "/stderr.txt", { "QT_QPA_PLATFORM=offscreen" });
    int runs = 0;
    const std::string dir = goodJobDir(readText(root + "/stdout.txt"), &runs);
    if (r.status != 0 || dir.empty() || runs != expectedRuns) {
        std::fprintf(stderr, "orbelin run in %s failed: status %d, %d runs of %d\n", root.c_str(),
            r.status, runs, expectedRuns);
        return -1;
    }
    if (jobDir)
        *jobDir = dir;
    return r.seconds;
}

// The runs' feff.inp files, each in a directory of its own under root.
std::vector<std::string> prepareRunDirs(
    const std::string &root, const std::vector<std::string> &inputs)
{
    removeTree(root);
    std::vector<std::string> dirs;
    for (const std::string &input : inputs) {
        const std::string dir = root + "/" + fs::path(input).parent_path().filename().string();
        fs::create_directories(dir);
        fs::copy_file(input, dir + "/feff.inp");
        dirs.push_back(dir);
    }
    return dirs;
}

double runParallel(const std::string &root, const std::vector<std::string> &inputs)
{
    const auto dirs = prepareRunDirs(root, inputs);
    std::vector<std::string> argv { "/usr/bin/parallel", "--will-cite", "-j", std::to_string(procs),
        "cd {} && /usr/bin/feff6", ":::" };
    argv.insert(argv.end(), dirs.begin(), dirs.end());
    const RunResult r = runProgram(argv, root, std::string(), root + "/../parallel-stderr.txt");
    int chi = 0;
    for (const std::string &d : dirs)
        chi += fileExists(d + "/chi.dat");
    if (r.status != 0 || chi != int(dirs.size())) {
        std::fprintf(stderr, "parallel run in %s failed: status %d, %d chi.dat of %zu\n",
            root.c_str(), r.status, chi, dirs.size());
        return -1;
    }
    return r.seconds;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 5;
    double goal = 1.05;
    std::string work = "/tmp/orbelin-bench-average";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--rounds")
            rounds = std::atoi(argv[i + 1]);
        else if (key == "--goal")
            goal = std::atof(argv[i + 1]);
        else if (key == "--work")
            work = argv[i + 1];
    }
    if (!fileExists("/usr/bin/feff6") || !fileExists("/usr/bin/parallel")) {
        std::printf("needs /usr/bin/feff6 (ifeffit) and /usr/bin/parallel (parallel): skipped\n");
        return 0;
    }
    fs::create_directories(work);

    // The inputs GNU parallel gets are the ones orbelin ran; this run also warms the caches.
    std::string jobDir;
    if (runOrbelin(work + "/inputs", &jobDir) < 0)
        return 1;
    std::vector<std::string> inputs;
    for (const auto &entry : fs::directory_iterator(jobDir))
        if (entry.is_directory() && fileExists(entry.path().string() + "/feff.inp"))
            inputs.push_back(entry.path().string() + "/feff.inp");
    std::sort(inputs.begin(), inputs.end());
    std::printf(
        "%s, --sites all --configurations 8: %zu FEFF inputs; MAX_PROC %d, parallel -j %d\n",
        structure, inputs.size(), procs, procs);
    if (int(inputs.size()) != expectedRuns)
        return 1;

    std::vector<double> orbelin, parallel;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool orbelinTurn = (round + turn) % 2 == 0;
            const double s = orbelinTurn ? runOrbelin(work + "/orbelin")
                                         : runParallel(work + "/parallel", inputs);
            if (s < 0)
                return 1;
            (orbelinTurn ? orbelin : parallel).push_back(s);
        }
    }
    std::printf("  orbelin -batch (converter, 16 runs, average)  median %.3f s  runs: %s\n",
        median(orbelin), join(orbelin, 1.0, 3).c_str());
    std::printf("  GNU parallel (16 runs)                       median %.3f s  runs: %s\n",
        median(parallel), join(parallel, 1.0, 3).c_str());
    const double ratio = medianRatio(orbelin, parallel);
    std::printf("  ratio orbelin / parallel (median of per-round ratios): %.3f\n", ratio);
    char figure[160];
    std::snprintf(figure, sizeof figure, "%.3f s / %.3f s = **%.2f**", median(orbelin),
        median(parallel), ratio);
    char goalText[32];
    std::snprintf(goalText, sizeof goalText, "<= %.2f", goal);
    result("average of 16 feff6 runs (NiFe2O4, 2 sites x 8 configurations), P = 2: orbelin / GNU "
           "parallel",
        figure, goalText, ratio <= goal ? "yes" : "no");
    removeTree(work);
    return 0;
}
