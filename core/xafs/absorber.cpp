#include "absorber.h"

#include "textscan.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <vector>

namespace {

using xafs::scan::words;

const char *const symbols[] = { "", "H", "He", "Li", "Be", "B", "C", "N", "O", "F", "Ne", "Na",
    "Mg", "Al", "Si", "P", "S", "Cl", "Ar", "K", "Ca", "Sc", "Ti", "V", "Cr", "Mn", "Fe", "Co",
    "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y", "Zr", "Nb", "Mo", "Tc",
    "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I", "Xe", "Cs", "Ba", "La", "Ce", "Pr",
    "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W", "Re",
    "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa",
    "U", "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr" };
constexpr int lastElement = sizeof symbols / sizeof symbols[0] - 1;

// FEFF's hole numbers: 1 K, 2 to 4 L1 to L3, 5 to 9 M1 to M5.
const char *const holes[] = { "", "K", "L1", "L2", "L3", "M1", "M2", "M3", "M4", "M5" };
constexpr int lastHole = sizeof holes / sizeof holes[0] - 1;

std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool wholeNumber(const std::string &s, long *value)
{
    const char *end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, *value);
    return !s.empty() && r.ec == std::errc() && r.ptr == end;
}

} // namespace

std::string elementSymbol(int z) { return z >= 1 && z <= lastElement ? symbols[z] : ""; }

int elementNumber(const std::string &symbol)
{
    for (int z = 1; z <= lastElement; ++z)
        if (upper(symbol) == upper(symbols[z]))
            return z;
    return 0;
}

FeffAbsorber feffAbsorber(const std::string &feffInp)
{
    FeffAbsorber out;
    int hole = 1;
    bool inPotentials = false, sawPotentials = false;
    std::istringstream in(feffInp);
    std::string line;
    // FEFF reads a card by the first four letters of its first word, in any case; the lines
    // after POTENTIALS that start with a number are its potentials.
    while (std::getline(in, line)) {
        const auto w = words(line);
        if (w.empty() || w[0][0] == '*')
            continue;
        const std::string card = upper(w[0]).substr(0, 4);
        long number = 0;
        if (inPotentials && wholeNumber(w[0], &number)) {
            long z = 0;
            if (number == 0 && out.z == 0) {
                if (w.size() < 2 || !wholeNumber(w[1], &z) || z < 1 || z > lastElement) {
                    out.error = "potential 0 has no atomic number from 1 to "
                        + std::to_string(lastElement) + ": '" + line + "'";
                    return out;
                }
                out.z = int(z);
            }
            continue;
        }
        inPotentials = false;
        if (card == "END")
            break;
        if (card == "POTE") {
            inPotentials = sawPotentials = true;
        } else if (card == "HOLE" || card == "EDGE") {
            long value = 0;
            if (w.size() < 2) {
                out.error = "the " + upper(w[0]) + " card names no edge";
                return out;
            }
            if (wholeNumber(w[1], &value)) {
                hole = int(value);
            } else {
                hole = -1;
                for (int h = 1; h <= lastHole; ++h)
                    if (upper(w[1]) == holes[h])
                        hole = h;
            }
            if (hole < 1 || hole > lastHole) {
                out.error = "the " + upper(w[0]) + " card's edge '" + w[1] + "' is not K to M5";
                return out;
            }
        }
    }
    if (!sawPotentials)
        out.error = "no POTENTIALS card";
    else if (out.z == 0)
        out.error = "no potential 0 (the absorber) in the POTENTIALS card";
    if (!out.error.empty())
        return out;
    out.element = symbols[out.z];
    out.edge = holes[hole];
    return out;
}
