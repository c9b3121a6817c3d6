// The fit of many candidates' chi(k), held in memory, against one measured chi(k), on a pool
// of threads: the time per candidate and for the whole set, and that the result does not
// depend on the number of threads.
//
//   bench_fit_speed [--n 10000] [--threads 1,2] [--rounds 3]
//                   [--fit kmin,kmax,kweight,rmin,rmax[,one|shells]] MEASURED.chik JOBS_DIR
//
// JOBS_DIR: directories each with a chi.dat and FEFF's path files (00-Res of a batch); the
// n candidates cycle through them. --fit as for the ranking (default: the fit's defaults).
#include "benchutil.h"
#include "feffpaths.h"
#include "fit.h"

#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

namespace {

std::vector<CalcChi> readJobs(const std::string &dir, bool shells)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::vector<CalcChi> jobs;
    for (const auto &name : names) {
        CalcChi c;
        if (!bench::readColumns(dir + "/" + name + "/chi.dat", c.k, c.chi))
            continue;
        if (shells)
            c.firstShell = readFirstShell(dir + "/" + name, c.k).chi;
        jobs.push_back(std::move(c));
    }
    return jobs;
}

// CPU seconds of the whole process, all threads.
double cpuNow() { return bench::clockSeconds(CLOCK_PROCESS_CPUTIME_ID); }

bool sameBits(const std::vector<FitResult> &a, const std::vector<FitResult> &b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i].rfactor, &b[i].rfactor, sizeof(double)) != 0
            || std::memcmp(&a[i].de0, &b[i].de0, sizeof(double)) != 0
            || std::memcmp(&a[i].s02, &b[i].s02, sizeof(double)) != 0
            || std::memcmp(&a[i].sigma2, &b[i].sigma2, sizeof(double)) != 0)
            return false;
    return a.size() == b.size();
}

} // namespace

int main(int argc, char **argv)
{
    int n = 10000, rounds = 3;
    FitOptions options;
    std::vector<int> threads = { 1, 2 };
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--n" && i + 1 < argc)
            n = std::atoi(argv[++i]);
        else if (a == "--threads" && i + 1 < argc)
            threads = bench::parseIntList(argv[++i]);
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (a == "--fit" && i + 1 < argc) {
            const std::string why = parseFitRanges(argv[++i], &options);
            if (!why.empty()) {
                std::cerr << "--fit: " << why << "\n";
                return 2;
            }
        } else
            files.push_back(a);
    }
    if (files.size() != 2 || n < 1 || rounds < 1 || threads.empty()) {
        std::cerr << "usage: bench_fit_speed [--n N] [--threads 1,2] [--rounds R] [--fit RANGES]"
                     " MEASURED.chik JOBS_DIR\n";
        return 2;
    }
    std::vector<double> k, chi;
    if (!bench::readColumns(files[0], k, chi)) {
        std::cerr << files[0] << ": no k, chi columns\n";
        return 1;
    }
    const auto jobs = readJobs(files[1], options.shellSigma2);
    if (jobs.empty()) {
        std::cerr << files[1] << ": no job directory with chi.dat\n";
        return 1;
    }
    std::vector<CalcChi> candidates;
    for (int i = 0; i < n; ++i)
        candidates.push_back(jobs[i % jobs.size()]);

    const double t0 = bench::now();
    const FitTarget target(k, chi, options);
    const double prepare = bench::now() - t0;
    if (!target.isValid()) {
        std::cerr << files[0] << ": " << target.error() << "\n";
        return 1;
    }
    std::printf("%d candidates (%zu distinct chi.dat) against %s; target prepared in %.1f ms\n", n,
        jobs.size(), files[0].c_str(), 1e3 * prepare);

    std::vector<std::vector<double>> seconds(threads.size()), cpu(threads.size());
    std::vector<FitResult> reference;
    bool identical = true;
    for (int r = 0; r < rounds; ++r) {
        for (size_t v = 0; v < threads.size(); ++v) {
            const size_t which = (v + r) % threads.size();
            const double start = bench::now(), cpuStart = cpuNow();
            const auto results = fitAll(target, candidates, threads[which]);
            seconds[which].push_back(bench::now() - start);
            cpu[which].push_back(cpuNow() - cpuStart);
            if (reference.empty())
                reference = results;
            else
                identical = identical && sameBits(reference, results);
        }
    }
    for (size_t v = 0; v < threads.size(); ++v) {
        const double s = bench::median(seconds[v]);
        const double c = bench::median(cpu[v]);
        std::printf("threads %d: %.3f s for %d fits, %.3f ms per fit (wall); CPU %.3f s, %.3f ms "
                    "per fit; median of %d\n",
            threads[v], s, n, 1e3 * s / n, c, 1e3 * c / n, rounds);
    }
    if (threads.size() > 1)
        std::printf("speed-up %d -> %d threads: %.2fx\n", threads[0], threads.back(),
            bench::median(seconds[0]) / bench::median(seconds.back()));
    std::printf("results bit-identical across threads and rounds: %s\n", identical ? "yes" : "NO");
    return identical ? 0 : 1;
}
