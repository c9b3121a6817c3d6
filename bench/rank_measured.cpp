// Ranks a folder of finished jobs against a measured spectrum: every job directory's chi.dat
// is fitted, its absorber read from its feff.inp, and the ranking printed as the ranking
// TSV. With --expect NAME it prints one more line, "expect NAME rank R of N", to standard
// error, so that a study can collect where the true structure came.
//
//   bench_rank_measured [--fit kmin,kmax,kweight,rmin,rmax[,one|shells]] [--starts N]
//                       [--element El] [--edge K] [--threads N] [--expect NAME]
//                       [--columns CHOICE] [--bkg rbkg,kweight] [--chi-out FILE]
//                       MEASURED JOBS_DIR
//
// MEASURED: any file Orbelin reads as a measured spectrum (XDI, columns, "FILE.prj#GROUP",
// a chi(k) file), made into chi(k) as -measured does (--columns and --bkg as -columns and
// -bkg; --chi-out writes that chi(k)); the element comes from an XDI header unless given.
// JOBS_DIR: one directory per job (00-Res of a batch), each with chi.dat and feff.inp (with
// several FEFF runs, in the directory of the first). The first shell's paths, read from
// FEFF's path files, get their own sigma2 unless --fit ends in ",one".
#include "absorber.h"
#include "background.h"
#include "benchutil.h"
#include "feffpaths.h"
#include "fit.h"
#include "measured.h"
#include "ranking.h"

#include <dirent.h>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

namespace {

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> subdirectories(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            const std::string name = e->d_name;
            struct stat st;
            if (name[0] != '.' && stat((dir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int usage()
{
    std::cerr << "usage: bench_rank_measured [--fit kmin,kmax,kweight,rmin,rmax[,one|shells]]"
                 " [--starts N] [--element El] [--edge K] [--threads N] [--expect NAME]"
                 " [--columns CHOICE] [--bkg rbkg,kweight] [--chi-out FILE] MEASURED JOBS_DIR\n";
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    FitOptions options;
    std::string element, edge, expect, chiOut;
    xafs::ReadOptions read;
    xafs::BkgParams bkg;
    int threads = 0;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--fit" && hasValue) {
            const std::string why = parseFitRanges(argv[++i], &options);
            if (!why.empty()) {
                std::cerr << "--fit: " << why << "\n";
                return 2;
            }
        } else if (a == "--starts" && hasValue) {
            options.starts = std::atoi(argv[++i]);
        } else if (a == "--element" && hasValue) {
            element = argv[++i];
        } else if (a == "--edge" && hasValue) {
            edge = argv[++i];
        } else if (a == "--threads" && hasValue) {
            threads = std::atoi(argv[++i]);
        } else if (a == "--expect" && hasValue) {
            expect = argv[++i];
        } else if (a == "--columns" && hasValue) {
            const auto choice = xafs::parseColumnChoice(argv[++i]);
            if (!choice) {
                std::cerr << "--columns: " << choice.error().message() << "\n";
                return 2;
            }
            read.columns = choice.value();
        } else if (a == "--bkg" && hasValue) {
            const auto params = xafs::parseBkgOption(argv[++i]);
            if (!params) {
                std::cerr << "--bkg: " << params.error().message() << "\n";
                return 2;
            }
            bkg = params.value();
        } else if (a == "--chi-out" && hasValue) {
            chiOut = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return usage();

    const auto spectrum = xafs::readMeasuredFile(files[0], read);
    if (!spectrum) {
        std::cerr << spectrum.error().message() << "\n";
        return 1;
    }
    const auto measured = xafs::deriveChi(spectrum.value(), files[0], bkg);
    if (!measured) {
        std::cerr << measured.error().message() << "\n";
        return 1;
    }
    if (!chiOut.empty()) {
        std::ofstream out(chiOut, std::ios::binary);
        out << xafs::chiFileText(measured.value());
        if (!out) {
            std::cerr << chiOut << ": cannot be written\n";
            return 1;
        }
    }
    if (element.empty())
        element = spectrum->element;
    if (edge.empty())
        edge = spectrum->edge;
    const double t0 = bench::now();
    const FitTarget target(measured->k, measured->chi, options);
    if (!target.isValid()) {
        std::cerr << files[0] << ": " << target.error() << "\n";
        return 1;
    }

    std::vector<RankCandidate> candidates;
    std::vector<CalcChi> calcs;
    std::vector<size_t> calcOf;
    for (const std::string &name : subdirectories(files[1])) {
        const std::string dir = files[1] + "/" + name;
        RankCandidate c;
        c.input = name;
        c.workdir = dir;
        std::string inp = readText(dir + "/feff.inp");
        if (inp.empty())
            for (const std::string &run : subdirectories(dir))
                if (!(inp = readText(dir + "/" + run + "/feff.inp")).empty())
                    break;
        const FeffAbsorber a = feffAbsorber(inp);
        c.element = a.element;
        c.edge = a.edge;
        CalcChi calc;
        c.hasChi = bench::readColumns(dir + "/chi.dat", calc.k, calc.chi);
        if (c.hasChi) {
            if (options.shellSigma2) {
                FirstShell shell = readFirstShell(dir, calc.k);
                if (shell.error.empty())
                    calc.firstShell = std::move(shell.chi);
                else
                    std::cerr << name << ": one sigma2 for all paths: " << shell.error << "\n";
            }
            calcOf.push_back(candidates.size());
            calcs.push_back(std::move(calc));
        }
        candidates.push_back(c);
    }
    const double t1 = bench::now();
    const auto fits = fitAll(target, calcs, threads);
    const double t2 = bench::now();
    for (size_t i = 0; i < fits.size(); ++i)
        candidates[calcOf[i]].fit = fits[i];
    const auto entries = rankCandidates(candidates, element, edge);
    std::cout << rankingTsv(candidates, entries);

    int ranked = 0, expectRank = 0;
    for (const RankEntry &e : entries) {
        if (e.status != RankStatus::Ranked)
            continue;
        ++ranked;
        if (candidates[e.candidate].input == expect)
            expectRank = e.rank;
    }
    std::fprintf(stderr, "%zu jobs, %zu with chi(k), %d ranked; read %.3f s, fits %.3f s\n",
        candidates.size(), calcs.size(), ranked, t1 - t0, t2 - t1);
    if (!expect.empty())
        std::fprintf(stderr, "expect %s rank %d of %d\n", expect.c_str(), expectRank, ranked);
    return 0;
}
