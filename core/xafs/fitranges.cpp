#include "fit.h"

#include "fitmodel.h"

#include <charconv>
#include <cmath>

using fitmodel::formatNumber;

std::string parseFitRanges(const std::string &text, FitOptions *options)
{
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    bool shells = options->shellSigma2;
    if (fields.size() == 6) {
        if (fields[5] == "one")
            shells = false;
        else if (fields[5] == "shells")
            shells = true;
        else
            return "'" + fields[5] + "' is neither one (sigma2) nor shells";
        fields.pop_back();
    }
    if (fields.size() != 5)
        return "'" + text + "' is not kmin,kmax,kweight,rmin,rmax (five numbers)";
    static const char *names[] = { "kmin", "kmax", "kweight", "rmin", "rmax" };
    double v[5];
    for (int i = 0; i < 5; ++i) {
        std::string f = fields[i];
        f.erase(0, f.find_first_not_of(" \t"));
        f.erase(f.find_last_not_of(" \t") + 1);
        const char *end = f.data() + f.size();
        auto r = std::from_chars(f.data(), end, v[i]);
        if (f.empty() || r.ec != std::errc() || r.ptr != end || !std::isfinite(v[i]))
            return std::string(names[i]) + " '" + f + "' is not a number";
        if (v[i] < 0)
            return std::string(names[i]) + " " + f + " is negative";
    }
    if (v[0] >= v[1])
        return "kmin " + formatNumber(v[0]) + " is not below kmax " + formatNumber(v[1]);
    if (v[1] > 20)
        return "kmax " + formatNumber(v[1]) + " is past 20 1/A";
    if (v[2] != std::floor(v[2]) || v[2] > 3)
        return "kweight " + formatNumber(v[2]) + " is not 0, 1, 2 or 3";
    if (v[3] >= v[4])
        return "rmin " + formatNumber(v[3]) + " is not below rmax " + formatNumber(v[4]);
    if (v[4] > 15)
        return "rmax " + formatNumber(v[4]) + " is past 15 A";
    options->kmin = v[0];
    options->kmax = v[1];
    options->kweight = int(v[2]);
    options->rmin = v[3];
    options->rmax = v[4];
    options->shellSigma2 = shells;
    return {};
}
