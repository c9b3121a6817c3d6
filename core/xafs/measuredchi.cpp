#include "background.h"

#include "textscan.h"
#include "xafsft.h"

#include <algorithm>
#include <charconv>

namespace xafs {

Outcome<MeasuredChi> deriveChi(
    const Spectrum &spectrum, const std::string &name, const BkgParams &params)
{
    MeasuredChi measured;
    measured.file = name;
    measured.kind = spectrum.kind;
    measured.columns = spectrum.columns;
    if (spectrum.kind == Spectrum::Kind::Chi) {
        const std::size_t n = std::min(spectrum.x.size(), spectrum.y.size());
        if (n < 2)
            return Error { name, 0, "too few points (" + std::to_string(n) + ") of chi(k)" };
        const std::vector<double> grid = uniformGrid(spectrum.x.data(), spectrum.y.data(), int(n));
        for (int i = 0; i < fourier::gridSize; ++i) {
            const double k = i * fourier::gridStep;
            if (k >= spectrum.x.front() && k <= spectrum.x[n - 1]) {
                measured.k.push_back(k);
                measured.chi.push_back(grid[i]);
            }
        }
        if (measured.k.empty())
            return Error { name, 0, "no chi(k) between k = 0 and the transform's end" };
        return measured;
    }
    auto background = removeBackground(spectrum.x, spectrum.y, params);
    if (!background) {
        Error error = background.error();
        error.file = name;
        return error;
    }
    measured.background = std::move(background.value());
    measured.k = measured.background.k;
    measured.chi = measured.background.chi;
    return measured;
}

std::string chiFileText(const MeasuredChi &measured)
{
    std::string text = "# chi(k) of " + measured.file;
    if (!measured.columns.empty())
        text += " (" + measured.columns + ")";
    text += "\n";
    if (measured.kind == Spectrum::Kind::Chi) {
        text += "# read as chi(k), no background removed\n";
    } else {
        const Background &b = measured.background;
        const PreEdge &e = b.edge;
        text += "# e0 = " + scan::number(b.e0, 9) + " eV" + (b.e0Found ? " (found)" : " (given)")
            + ", edge_step = " + scan::number(b.edgeStep) + "\n";
        text += "# pre_edge: pre1 = " + scan::number(e.pre1) + ", pre2 = " + scan::number(e.pre2)
            + ", norm1 = " + scan::number(e.norm1) + ", norm2 = " + scan::number(e.norm2)
            + ", nnorm = " + std::to_string(e.nnorm) + "\n";
        text += "# autobk: rbkg = " + scan::number(b.rbkg)
            + ", kweight = " + std::to_string(b.kweight) + ", kmin = " + scan::number(b.kmin)
            + ", kmax = " + scan::number(b.kmax) + ", knots = " + std::to_string(b.nknots) + "\n";
    }
    text += "# k chi\n";
    char buffer[64];
    for (std::size_t i = 0; i < measured.k.size() && i < measured.chi.size(); ++i) {
        auto r = std::to_chars(buffer, buffer + 32, measured.k[i], std::chars_format::fixed, 4);
        *r.ptr++ = ' ';
        r = std::to_chars(
            r.ptr, buffer + sizeof buffer, measured.chi[i], std::chars_format::general, 9);
        *r.ptr++ = '\n';
        text.append(buffer, r.ptr);
    }
    return text;
}

} // namespace xafs
