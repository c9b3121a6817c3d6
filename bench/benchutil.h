// Small helpers shared by the benchmark programs: a monotonic clock, medians,
// launching a program and waiting for it, and file chores.
#ifndef BENCHUTIL_H
#define BENCHUTIL_H

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace bench {

// Seconds on a clock: the monotonic one, or a CPU-time clock (CLOCK_PROCESS_CPUTIME_ID,
// CLOCK_THREAD_CPUTIME_ID).
inline double clockSeconds(clockid_t clock)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

// Seconds on the monotonic clock.
inline double now() { return clockSeconds(CLOCK_MONOTONIC); }

// "1,10,100" -> {1, 10, 100}
inline std::vector<int> parseIntList(const std::string &text)
{
    std::vector<int> values;
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ','))
        values.push_back(std::atoi(item.c_str()));
    return values;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Median of the element-wise ratios a[i] / b[i]: the ratio of two variants measured
// side by side in the same round, which cancels slow drifts of the machine's load.
inline double medianRatio(const std::vector<double> &a, const std::vector<double> &b)
{
    std::vector<double> r;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (b[i] > 0)
            r.push_back(a[i] / b[i]);
    return median(r);
}

inline std::string join(const std::vector<double> &values, double scale, int decimals)
{
    std::string text;
    char buf[64];
    for (double v : values) {
        std::snprintf(buf, sizeof buf, "%s%.*f", text.empty() ? "" : " ", decimals, v * scale);
        text += buf;
    }
    return text;
}

struct RunResult
{
    double seconds = 0;
    int status = -1; // exit code, or -1 when the program did not end normally
    long peakRssKb = -1; // of the program itself (not of its children)
};

// Runs argv[0] with the given arguments in dir, stdout and stderr sent to the named files
// (empty: /dev/null), and returns the wall time from just before the spawn to the reaped
// exit. posix_spawn, so the launcher adds as little as it can to the figure.
inline RunResult runProgram(const std::vector<std::string> &argv, const std::string &dir,
                            const std::string &outFile = std::string(),
                            const std::string &errFile = std::string(),
                            const std::vector<std::string> &extraEnv = {})
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    std::vector<std::string> envStore;
    for (char **e = environ; *e; ++e)
        envStore.emplace_back(*e);
    for (const std::string &kv : extraEnv) {
        const std::string key = kv.substr(0, kv.find('=') + 1);
        envStore.erase(std::remove_if(envStore.begin(), envStore.end(),
                                      [&](const std::string &s) { return s.rfind(key, 0) == 0; }),
                       envStore.end());
        envStore.push_back(kv);
    }
    std::vector<char *> env;
    for (std::string &kv : envStore)
        env.push_back(const_cast<char *>(kv.c_str()));
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.empty() ? "/dev/null" : outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.empty() ? "/dev/null" : errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);

    // The child must start in dir; posix_spawn_file_actions_addchdir_np exists in
    // glibc 2.29 and later, which every supported Debian has.
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

    RunResult result;
    const double t0 = now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(errno));
        return result;
    }
    int wstatus = 0;
    struct rusage usage;
    while (wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
    }
    result.seconds = now() - t0;
    result.peakRssKb = usage.ru_maxrss;
    posix_spawn_file_actions_destroy(&actions);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return result;
}

// The rows of a text file that are two or more numbers and nothing else: both a two-column
// chi(k) and FEFF's chi.dat, whose header lines are words.
inline bool readColumns(const std::string &path, std::vector<double> &k, std::vector<double> &chi)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find('#') != std::string::npos)
            line.erase(line.find('#'));
        std::istringstream words(line);
        std::vector<double> values;
        std::string w;
        bool numbers = true;
        while (words >> w) {
            char *end = nullptr;
            const double v = std::strtod(w.c_str(), &end);
            if (*end != '\0') {
                numbers = false;
                break;
            }
            values.push_back(v);
        }
        if (numbers && values.size() >= 2) {
            k.push_back(values[0]);
            chi.push_back(values[1]);
        }
    }
    return !k.empty();
}

inline std::string readText(const std::string &path)
{
    std::string text;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

inline bool writeText(const std::string &path, const std::string &text)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

inline bool fileExists(const std::string &path)
{
    return access(path.c_str(), F_OK) == 0;
}

// Removes a directory tree; used only on directories this benchmark made.
inline void removeTree(const std::string &dir)
{
    if (dir.empty() || dir == "/")
        return;
    std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", dir.c_str());
}

// A results folder of count copies of input in 00-Inp (job00000.inp, ...) and a my.cfg that
// starts none of them (MAX_PROC 0), FEFF being the stand-in fakeFeff.
inline void prepareQueuedInputs(
    const std::string &dir, int count, const std::string &input, const std::string &fakeFeff)
{
    removeTree(dir);
    std::filesystem::create_directories(dir + "/00-Inp");
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "job%05d.inp", i);
        std::filesystem::copy_file(input, dir + "/00-Inp/" + name);
    }
    writeText(dir + "/my.cfg", "MAX_PROC 0\nFEFF_EXE " + fakeFeff + "\n");
}

// Peak resident set of this process in kB (VmHWM).
inline long peakRssKb()
{
    const std::string status = readText("/proc/self/status");
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

// A line the driver script gathers into its table:
// RESULT <benchmark> | <figure> | <goal> | <met: yes, no or ->
inline void result(const std::string &name, const std::string &figure, const std::string &goal,
                   const std::string &met)
{
    std::printf("RESULT %s | %s | %s | %s\n", name.c_str(), figure.c_str(), goal.c_str(),
                met.c_str());
    std::fflush(stdout);
}

} // namespace bench

#endif
