// Background removal of one measured spectrum: xafs::removeBackground against Larch's
// pre_edge() + autobk() on the same points, in the same run, and the two chi(k) compared.
//
//   bench_background [--rounds 21] [--reps 50] [--rbkg 1] [--kweight 2]
//                    [--columns CHOICE] FILE[#GROUP]... [--columns CHOICE] FILE...
//
// Without files: tests/data/measured/cu_metal_rt.xdi and feo_rt1.xdi. --columns applies to
// the files after it ("" for each format's default). Larch runs in one python3 process
// per file (bench/larch_autobk.py; the interpreter is $ORBELIN_PYTHON, else python3, else
// /usr/bin/python3) that answers one pre_edge + autobk per round; Orbelin's figure is the
// mean of --reps calls in that round; the order alternates from round to round. Figures
// are medians over the rounds. Without Larch the comparison is reported as unavailable.
#include "benchutil.h"

#include "background.h"
#include "measured.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace bench;

namespace {

// A python3 running larch_autobk.py, spoken to through two pipes.
class Larch
{
public:
    bool start(const std::string &data, const std::string &chiPath, double rbkg, int kweight,
        std::string &why)
    {
        std::vector<std::string> pythons;
        if (const char *chosen = std::getenv("ORBELIN_PYTHON"))
            pythons.push_back(chosen);
        pythons.push_back("python3");
        pythons.push_back("/usr/bin/python3");
        for (const std::string &python : pythons) {
            if (launch({ python, LARCH_SCRIPT, data, chiPath, std::to_string(rbkg),
                    std::to_string(kweight) })) {
                const std::string first = readLine();
                if (first == "ready")
                    return true;
                why = python + ": " + (first.empty() ? std::string("did not start") : first);
                stop();
            }
        }
        return false;
    }

    // Seconds of one pre_edge + autobk, or a negative number when Larch failed.
    double run()
    {
        if (std::fputs("run\n", m_to) < 0 || std::fflush(m_to) != 0)
            return -1;
        const std::string line = readLine();
        return line.rfind("seconds ", 0) == 0 ? std::atof(line.c_str() + 8) : -1;
    }

    void stop()
    {
        if (m_to) {
            std::fputs("quit\n", m_to);
            std::fclose(m_to);
            m_to = nullptr;
        }
        if (m_from) {
            std::fclose(m_from);
            m_from = nullptr;
        }
        if (m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
    }

    ~Larch() { stop(); }

private:
    bool launch(const std::vector<std::string> &argv)
    {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0)
            return false;
        if (pipe(fromChild) != 0) {
            close(toChild[0]);
            close(toChild[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, toChild[1]);
        posix_spawn_file_actions_addclose(&actions, fromChild[0]);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        const int spawned = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        if (spawned != 0) {
            close(toChild[1]);
            close(fromChild[0]);
            m_pid = -1;
            return false;
        }
        m_to = fdopen(toChild[1], "w");
        m_from = fdopen(fromChild[0], "r");
        return m_to && m_from;
    }

    std::string readLine()
    {
        char buffer[512];
        if (!m_from || !std::fgets(buffer, sizeof buffer, m_from))
            return std::string();
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        return line;
    }

    pid_t m_pid = -1;
    FILE *m_to = nullptr;
    FILE *m_from = nullptr;
};

struct LarchChi
{
    double e0 = 0;
    int knots = 0;
    std::vector<double> k, chi;
};

LarchChi readLarchChi(const std::string &path)
{
    LarchChi out;
    std::stringstream lines(readText(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("# e0 = ", 0) == 0)
            out.e0 = std::atof(line.c_str() + 7);
        else if (line.rfind("# nknots = ", 0) == 0)
            out.knots = std::atoi(line.c_str() + 11);
        else if (!line.empty() && line[0] != '#') {
            double k = 0, chi = 0;
            if (std::sscanf(line.c_str(), "%lf %lf", &k, &chi) == 2) {
                out.k.push_back(k);
                out.chi.push_back(chi);
            }
        }
    }
    return out;
}

double rFactor(const xafs::Background &ours, const LarchChi &larch)
{
    double num = 0, den = 0;
    for (std::size_t i = 0; i < larch.k.size() && i < ours.chi.size(); ++i) {
        if (larch.k[i] < 3 - 1e-9 || larch.k[i] > 12 + 1e-9)
            continue;
        const double w = larch.k[i] * larch.k[i];
        num += std::pow(w * (ours.chi[i] - larch.chi[i]), 2);
        den += std::pow(w * larch.chi[i], 2);
    }
    return den > 0 ? num / den : NAN;
}

struct Job
{
    std::string path;
    std::string columns;
};

} // namespace

int main(int argc, char **argv)
{
    int rounds = 21, reps = 50;
    xafs::BkgParams params;
    std::string columns;
    std::vector<Job> jobs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool more = i + 1 < argc;
        if (arg == "--rounds" && more)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--reps" && more)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--rbkg" && more)
            params.rbkg = std::atof(argv[++i]);
        else if (arg == "--kweight" && more)
            params.kweight = std::atoi(argv[++i]);
        else if (arg == "--columns" && more)
            columns = argv[++i];
        else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        } else
            jobs.push_back({ arg, columns });
    }
    if (jobs.empty())
        for (const char *name : { "cu_metal_rt.xdi", "feo_rt1.xdi" })
            jobs.push_back({ std::string(ORBELIN_TEST_DATA) + "/measured/" + name, std::string() });
    std::signal(SIGPIPE, SIG_IGN);

    const std::string scratch
        = std::filesystem::temp_directory_path() / ("bench_background." + std::to_string(getpid()));
    std::filesystem::create_directories(scratch);
    std::printf("%-34s %9s %9s %7s %9s %7s %6s %10s %10s %8s\n", "file", "E0", "E0 Larch", "knots",
        "R 3-12", "points", "", "Orbelin", "Larch", "ratio");
    int failures = 0;
    for (const Job &job : jobs) {
        const std::string shown = std::filesystem::path(job.path).filename().string();
        xafs::ReadOptions options;
        if (!job.columns.empty()) {
            const auto choice = xafs::parseColumnChoice(job.columns);
            if (!choice) {
                std::printf("%s: %s\n", shown.c_str(), choice.error().message().c_str());
                ++failures;
                continue;
            }
            options.columns = choice.value();
        }
        const auto spectrum = xafs::readMeasuredFile(job.path, options);
        if (!spectrum || spectrum->kind != xafs::Spectrum::Kind::Mu) {
            std::printf("%s: %s\n", shown.c_str(),
                spectrum ? "chi(k), no background to remove" : spectrum.error().message().c_str());
            ++failures;
            continue;
        }
        const auto first = xafs::removeBackground(spectrum->x, spectrum->y, params);
        if (!first) {
            std::printf("%s: %s\n", shown.c_str(), first.error().message().c_str());
            ++failures;
            continue;
        }

        std::string table;
        char row[128];
        for (std::size_t i = 0; i < spectrum->x.size(); ++i) {
            std::snprintf(row, sizeof row, "%.17g %.17g\n", spectrum->x[i], spectrum->y[i]);
            table += row;
        }
        const std::string data = scratch + "/mu.dat", chiPath = scratch + "/larch.chik";
        writeText(data, table);
        Larch larch;
        std::string why;
        const bool haveLarch = larch.start(data, chiPath, params.rbkg, params.kweight, why);

        std::vector<double> ours, theirs;
        for (int round = 0; round < rounds; ++round) {
            auto timeOurs = [&] {
                const double t0 = now();
                for (int r = 0; r < reps; ++r)
                    if (!xafs::removeBackground(spectrum->x, spectrum->y, params))
                        std::abort();
                ours.push_back((now() - t0) / reps);
            };
            auto timeLarch = [&] {
                if (haveLarch)
                    theirs.push_back(larch.run());
            };
            if (round % 2) {
                timeLarch();
                timeOurs();
            } else {
                timeOurs();
                timeLarch();
            }
        }
        larch.stop();

        const double oursMs = 1e3 * median(ours);
        std::string figure;
        if (haveLarch && !theirs.empty() && *std::min_element(theirs.begin(), theirs.end()) > 0) {
            const LarchChi ref = readLarchChi(chiPath);
            const double ratio = medianRatio(theirs, ours);
            std::printf("%-34s %9.2f %9.2f %3d/%-3d %9.2e %7zu %6s %7.3f ms %7.2f ms %8.0f\n",
                shown.c_str(), first->e0, ref.e0, first->nknots, ref.knots,
                rFactor(first.value(), ref), spectrum->x.size(), "", oursMs, 1e3 * median(theirs),
                ratio);
            char text[256];
            std::snprintf(text, sizeof text,
                "Orbelin %.3f ms, Larch %.1f ms, Larch/Orbelin %.0f; R %.1e, E0 %+.2f eV, knots "
                "%d/%d",
                oursMs, 1e3 * median(theirs), ratio, rFactor(first.value(), ref),
                first->e0 - ref.e0, first->nknots, ref.knots);
            figure = text;
        } else {
            std::printf("%-34s %9.2f %9s %3d/%-3s %9s %7zu %6s %7.3f ms %10s %8s\n", shown.c_str(),
                first->e0, "-", first->nknots, "-", "-", spectrum->x.size(), "", oursMs, "-", "-");
            figure = "Orbelin " + std::to_string(oursMs).substr(0, 5) + " ms; Larch unavailable ("
                + (why.empty() ? std::string("no answer") : why) + ")";
        }
        result("background " + shown, figure, "<= 5 ms", oursMs <= 5 ? "yes" : "no");
    }
    std::filesystem::remove_all(scratch);
    return failures ? 1 : 0;
}
