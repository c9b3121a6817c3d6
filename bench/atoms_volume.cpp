// The converter on large cells: NaCl written out in P 1 as n1 x n2 x n3 unit cells of 8
// atoms (the form a supercell from a simulation or a database's P 1 export takes), converted
// with the defaults and with "--sites all --configurations 2"; a variant with K sharing
// every Na position (occupancy 0.5 each) takes the paths of disorder. Each run's wall and
// processor seconds and its peak memory (wait4's rusage, as /usr/bin/time -v reports it).
//
//   bench_atoms [--rounds 3] [--cases 10k,10k-sites,100k,100k-shared,1M] [--vs CONVERTER]
//               [--vs-limit SECONDS] [--work DIR]
//
// --vs runs another build of orbelin-atoms on the same files, alternating with this one
// within each round, stops it after --vs-limit seconds (default 300), and says whether the
// two printed the same bytes. The cells are written into DIR (by default in the temporary
// directory) and removed at the end.
#include "benchutil.h"

#include <filesystem>
#include <map>
#include <signal.h>

namespace fs = std::filesystem;
using namespace bench;

namespace {

struct Case
{
    std::string name;
    int cells[3];
    bool shared;
    std::vector<std::string> options;
    double goalSeconds; // 0: none
    long goalMb;
};

const std::vector<Case> allCases = {
    { "10k", { 11, 11, 11 }, false, {}, 0, 0 },
    { "10k-sites", { 11, 11, 11 }, false, { "--sites", "all", "--configurations", "2" }, 0, 0 },
    { "100k", { 25, 25, 20 }, false, {}, 5, 0 },
    { "100k-shared", { 25, 25, 20 }, true, { "--configurations", "2" }, 0, 0 },
    { "1M", { 50, 50, 50 }, false, {}, 60, 2048 },
};

std::string cellFile(const Case &c, const std::string &dir)
{
    char name[128];
    std::snprintf(name, sizeof name, "%s/nacl_%dx%dx%d%s.cif", dir.c_str(), c.cells[0], c.cells[1],
        c.cells[2], c.shared ? "_k" : "");
    if (fileExists(name))
        return name;
    const double a = 5.64;
    FILE *f = std::fopen(name, "w");
    if (!f)
        return std::string();
    std::fprintf(f,
        "data_nacl_p1\n_chemical_formula_sum '%s'\n_cell_length_a %.4f\n_cell_length_b %.4f\n"
        "_cell_length_c %.4f\n_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
        "_symmetry_space_group_name_H-M 'P 1'\nloop_\n_atom_site_label\n_atom_site_type_symbol\n"
        "_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n_atom_site_occupancy\n",
        c.shared ? "Cl2 K Na" : "Cl Na", a * c.cells[0], a * c.cells[1], a * c.cells[2]);
    const double basis[8][3] = { { 0, 0, 0 }, { .5, .5, 0 }, { .5, 0, .5 }, { 0, .5, .5 },
        { .5, 0, 0 }, { 0, .5, 0 }, { 0, 0, .5 }, { .5, .5, .5 } };
    long n = 0;
    for (int i = 0; i < c.cells[0]; ++i)
        for (int j = 0; j < c.cells[1]; ++j)
            for (int k = 0; k < c.cells[2]; ++k)
                for (int b = 0; b < 8; ++b) {
                    const double x = (basis[b][0] + i) / c.cells[0];
                    const double y = (basis[b][1] + j) / c.cells[1];
                    const double z = (basis[b][2] + k) / c.cells[2];
                    ++n;
                    if (b >= 4)
                        std::fprintf(f, "Cl%ld Cl %.7f %.7f %.7f 1\n", n, x, y, z);
                    else if (!c.shared)
                        std::fprintf(f, "Na%ld Na %.7f %.7f %.7f 1\n", n, x, y, z);
                    else
                        std::fprintf(f, "Na%ld Na %.7f %.7f %.7f 0.5\nK%ld K %.7f %.7f %.7f 0.5\n",
                            n, x, y, z, n, x, y, z);
                }
    std::fclose(f);
    return name;
}

struct Run
{
    double wall = -1;
    double cpu = -1;
    long peakKb = -1;
    bool ok = false;
    bool stopped = false;
};

// One conversion, its standard output to out; stopped after limit seconds.
Run convert(const std::string &program, const std::vector<std::string> &options,
    const std::string &input, const std::string &out, double limit)
{
    std::vector<std::string> argv { program };
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back("-c");
    argv.push_back(input);
    std::vector<char *> args;
    for (std::string &a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const double start = now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        std::fprintf(stderr, "cannot start %s: %s\n", args[0], std::strerror(errno));
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage;
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return run;
        if (!run.stopped && now() - start > limit) {
            kill(pid, SIGKILL);
            run.stopped = true;
        }
        usleep(2000);
    }
    run.wall = now() - start;
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    run.peakKb = usage.ru_maxrss;
    run.ok = !run.stopped && WIFEXITED(status) && WEXITSTATUS(status) == 0
        && readText(out).find("\n END\n") != std::string::npos;
    return run;
}

std::string figure(const std::vector<Run> &runs)
{
    std::vector<double> wall, cpu;
    long peak = 0;
    for (const Run &r : runs) {
        if (r.stopped)
            return "stopped after " + std::to_string(int(r.wall)) + " s";
        if (!r.ok)
            return "failed";
        wall.push_back(r.wall);
        cpu.push_back(r.cpu);
        peak = std::max(peak, r.peakKb);
    }
    char text[160];
    std::snprintf(text, sizeof text, "%.2f s wall, %.2f s processor, %ld MB", median(wall),
        median(cpu), peak / 1024);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 3;
    std::string only;
    std::string other;
    double otherLimit = 300;
    std::string work = (fs::temp_directory_path() / "orbelin-bench-atoms").string();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (option == "--cases")
            only = argv[i + 1];
        else if (option == "--vs")
            other = argv[i + 1];
        else if (option == "--vs-limit")
            otherLimit = std::atof(argv[i + 1]);
        else if (option == "--work")
            work = argv[i + 1];
        else {
            std::fprintf(stderr, "unknown option %s\n", option.c_str());
            return 2;
        }
    }
    fs::create_directories(work);
    std::printf("converter %s%s%s, %d rounds, files in %s\n", ORBELIN_ATOMS,
        other.empty() ? "" : " against ", other.c_str(), rounds, work.c_str());

    for (const Case &c : allCases) {
        if (!only.empty() && ("," + only + ",").find("," + c.name + ",") == std::string::npos)
            continue;
        const std::string input = cellFile(c, work);
        const long atoms = 8L * c.cells[0] * c.cells[1] * c.cells[2];
        std::string options;
        for (const std::string &o : c.options)
            options += " " + o;
        std::printf("\n%s: %ld atoms in P 1%s, orbelin-atoms%s\n", c.name.c_str(), atoms,
            c.shared ? " (K sharing the Na positions)" : "", options.c_str());
        std::fflush(stdout);
        std::vector<Run> mine, theirs;
        int compared = 0;
        bool same = true;
        for (int round = 0; round < rounds; ++round) {
            const bool otherFirst = !other.empty() && round % 2 == 1;
            auto runOther = [&] {
                // A build that needs minutes is run once.
                if (!theirs.empty() && (theirs.back().stopped || theirs.back().wall > 60))
                    return;
                theirs.push_back(convert(other, c.options, input, work + "/other.out", otherLimit));
            };
            if (otherFirst)
                runOther();
            mine.push_back(convert(ORBELIN_ATOMS, c.options, input, work + "/mine.out", 1e9));
            if (!other.empty() && !otherFirst)
                runOther();
            if (!other.empty() && theirs.back().ok && mine.back().ok) {
                same = same && readText(work + "/mine.out") == readText(work + "/other.out");
                ++compared;
            }
        }
        std::printf("  this build:  %s\n", figure(mine).c_str());
        if (!other.empty())
            std::printf("  other build: %s; outputs %s\n", figure(theirs).c_str(),
                compared == 0 ? "not compared"
                    : same    ? "byte-identical"
                              : "DIFFER");
        std::string goal = "-";
        std::string met = "-";
        if (c.goalSeconds > 0) {
            std::vector<double> wall;
            long peak = 0;
            for (const Run &r : mine) {
                wall.push_back(r.wall);
                peak = std::max(peak, r.peakKb);
            }
            goal = "<= " + std::to_string(int(c.goalSeconds)) + " s"
                + (c.goalMb ? " and <= " + std::to_string(c.goalMb / 1024) + " GB" : "");
            met = median(wall) <= c.goalSeconds && (!c.goalMb || peak / 1024 <= c.goalMb)
                    && mine.back().ok
                ? "yes"
                : "no";
        }
        result("atoms " + c.name, figure(mine), goal, met);
    }
    removeTree(work);
    return 0;
}
