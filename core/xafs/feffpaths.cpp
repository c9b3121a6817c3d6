#include "feffpaths.h"

#include "textscan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <gsl/gsl_spline.h>
#include <sstream>

namespace {

using xafs::scan::words;

// std::from_chars reads the same whatever the locale, unlike strtod.
bool number(const std::string &s, double *v)
{
    const char *end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, *v);
    return !s.empty() && r.ec == std::errc() && r.ptr == end && std::isfinite(*v);
}

bool readFile(const std::string &path, std::string *text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

// A natural cubic spline of y(x) evaluated at one point; zero outside x.
class Spline
{
public:
    Spline(const std::vector<double> &x, const std::vector<double> &y)
        : spline(gsl_spline_alloc(gsl_interp_cspline, x.size()))
        , accel(gsl_interp_accel_alloc())
        , first(x.front())
        , last(x.back())
    {
        gsl_spline_init(spline, x.data(), y.data(), x.size());
    }
    ~Spline()
    {
        gsl_interp_accel_free(accel);
        gsl_spline_free(spline);
    }
    Spline(const Spline &) = delete;
    Spline &operator=(const Spline &) = delete;
    double operator()(double at) const
    {
        return at >= first && at <= last ? gsl_spline_eval(spline, at, accel) : 0.0;
    }

private:
    gsl_spline *spline;
    gsl_interp_accel *accel;
    double first, last;
};

} // namespace

std::string parseFeffPath(const std::string &text, FeffPath *path)
{
    std::istringstream in(text);
    std::string line;
    bool header = false, columns = false;
    FeffPath p;
    while (std::getline(in, line)) {
        const auto w = words(line);
        if (!header) {
            // "nleg deg reff rnrmav edge  nleg, deg, reff, rnrmav(bohr), edge"
            if (line.find("nleg, deg, reff") == std::string::npos)
                continue;
            double legs = 0;
            if (w.size() < 3 || !number(w[0], &legs) || !number(w[1], &p.degeneracy)
                || !number(w[2], &p.reff) || legs < 2 || p.reff <= 0)
                return "its path line is not nleg, deg, reff: '" + line + "'";
            p.legs = int(legs);
            header = true;
            continue;
        }
        if (!columns) {
            columns = line.find("real[2*phc]") != std::string::npos;
            continue;
        }
        double v[7];
        if (w.size() < 7)
            break;
        for (int i = 0; i < 7; ++i)
            if (!number(w[i], &v[i]))
                return "a path row holds a value that is not a number: '" + line + "'";
        if (!p.k.empty() && !(v[0] > p.k.back()))
            return "k does not ascend in its path rows";
        if (v[5] <= 0)
            return "a path row has a mean free path that is not above zero";
        p.k.push_back(v[0]);
        p.phase.push_back(v[1] + v[3]);
        p.amplitude.push_back(v[2] * v[4]);
        p.lambda.push_back(v[5]);
    }
    if (!header)
        return "it has no path line (nleg, deg, reff)";
    if (p.k.size() < 4)
        return "it has fewer than 4 rows of k, phase and amplitude";
    *path = std::move(p);
    return {};
}

std::vector<ChiDatPath> chiDatPaths(const std::string &chiDat)
{
    std::vector<ChiDatPath> paths;
    std::istringstream in(chiDat);
    std::string line;
    while (std::getline(in, line)) {
        auto w = words(line);
        if (!w.empty() && w[0] == "#")
            w.erase(w.begin());
        // feffNNNN.dat  sig2  amp-ratio  deg  nlegs  reff, the file beside chi.dat
        if (w.size() < 6 || w[0].size() < 8 || w[0].compare(0, 4, "feff") != 0
            || w[0].compare(w[0].size() - 4, 4, ".dat") != 0 || w[0].find('/') != std::string::npos)
            continue;
        ChiDatPath p;
        double legs = 0, skip = 0;
        if (!number(w[1], &skip) || !number(w[2], &skip) || !number(w[3], &p.degeneracy)
            || !number(w[4], &legs) || !number(w[5], &p.reff))
            continue;
        p.file = w[0];
        p.legs = int(legs);
        paths.push_back(p);
    }
    return paths;
}

std::vector<double> pathChi(const FeffPath &path, double degeneracy, const std::vector<double> &k)
{
    std::vector<double> chi(k.size(), 0.0);
    const Spline phase(path.k, path.phase), amplitude(path.k, path.amplitude),
        lambda(path.k, path.lambda);
    const double r = path.reff;
    for (size_t i = 0; i < k.size(); ++i) {
        const double q = k[i];
        if (q <= 0 || q < path.k.front() || q > path.k.back())
            continue;
        const double mfp = lambda(q);
        if (mfp > 0)
            chi[i] = degeneracy * amplitude(q) / (q * r * r) * std::exp(-2 * r / mfp)
                * std::sin(2 * q * r + phase(q));
    }
    return chi;
}

namespace {

FirstShell firstShellOf(
    const std::string &feffDir, const std::vector<double> &k, double width, bool average);

} // namespace

FirstShell readFirstShell(const std::string &feffDir, const std::vector<double> &k, double width)
{
    return firstShellOf(feffDir, k, width, true);
}

namespace {

// average: the directory may hold Orbelin's average of runs in its subdirectories, whose
// own chi.dat must then be FEFF's.
FirstShell firstShellOf(
    const std::string &feffDir, const std::vector<double> &k, double width, bool average)
{
    FirstShell out;
    std::string chiDat;
    if (!readFile(feffDir + "/chi.dat", &chiDat)) {
        out.error = feffDir + "/chi.dat cannot be read";
        return out;
    }
    const auto list = chiDatPaths(chiDat);
    if (list.empty()) {
        // Orbelin's average of several runs names each run's directory and weight.
        std::istringstream in(chiDat);
        std::string line;
        std::vector<double> sum(k.size(), 0.0);
        int runs = 0;
        while (std::getline(in, line)) {
            const auto w = words(line);
            double weight = 0;
            if (!average || w.size() != 5 || w[0] != "#" || w[1] != "input" || w[3] != "weight"
                || !number(w[4], &weight) || w[2] == "." || w[2] == ".."
                || w[2].find('/') != std::string::npos)
                continue;
            const FirstShell run = firstShellOf(feffDir + "/" + w[2], k, width, false);
            if (!run.error.empty())
                return run;
            for (size_t i = 0; i < sum.size(); ++i)
                sum[i] += weight * run.chi[i];
            out.paths += run.paths;
            out.reff = runs == 0 ? run.reff : std::min(out.reff, run.reff);
            ++runs;
        }
        if (runs == 0) {
            out.error = feffDir + "/chi.dat names no path files";
            out.paths = 0;
            out.reff = 0;
            return out;
        }
        out.chi = std::move(sum);
        return out;
    }
    double shortest = HUGE_VAL;
    for (const auto &p : list)
        shortest = std::min(shortest, p.reff);
    std::vector<double> sum(k.size(), 0.0);
    int paths = 0;
    for (const auto &p : list) {
        if (p.reff > shortest + width)
            continue;
        std::string text;
        FeffPath path;
        const std::string file = feffDir + "/" + p.file;
        const std::string why
            = readFile(file, &text) ? parseFeffPath(text, &path) : "it cannot be read";
        if (!why.empty()) {
            out.error = file + ": " + why;
            return out;
        }
        const auto chi = pathChi(path, p.degeneracy, k);
        for (size_t i = 0; i < chi.size(); ++i)
            sum[i] += chi[i];
        ++paths;
    }
    out.chi = std::move(sum);
    out.paths = paths;
    out.reff = shortest;
    return out;
}

} // namespace
