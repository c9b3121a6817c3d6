#include "elements.h"

#include "textutil.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace atoms {

const std::array<const char *, maxAtomicNumber + 1> symbols = { "", "H", "He", "Li", "Be", "B", "C",
    "N", "O", "F", "Ne", "Na", "Mg", "Al", "Si", "P", "S", "Cl", "Ar", "K", "Ca", "Sc", "Ti", "V",
    "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",
    "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I", "Xe", "Cs",
    "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu",
    "Hf", "Ta", "W", "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr",
    "Ra", "Ac", "Th", "Pa", "U", "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr" };

static bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

int elementNumber(const std::string &symbol)
{
    if (symbol.empty() || symbol.size() > 2 || !isLetter(symbol[0])
        || (symbol.size() == 2 && !isLetter(symbol[1])))
        return 0;
    std::string normal(1, static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[0]))));
    if (symbol.size() == 2)
        normal += static_cast<char>(std::tolower(static_cast<unsigned char>(symbol[1])));
    if (normal == "D")
        return 1;
    for (int z = 1; z <= maxAtomicNumber; ++z)
        if (normal == symbols[z])
            return z;
    return 0;
}

int elementFromTypeSymbol(const std::string &symbol)
{
    if (symbol.empty() || !isLetter(symbol[0]))
        return 0;
    if (symbol.size() >= 2 && isLetter(symbol[1])) {
        if (const int z = elementNumber(symbol.substr(0, 2)))
            return z;
    }
    return elementNumber(symbol.substr(0, 1));
}

static bool isUpper(char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; }
static bool isLower(char c) { return std::islower(static_cast<unsigned char>(c)) != 0; }

static void addOnce(std::vector<int> &elements, int z)
{
    if (std::find(elements.begin(), elements.end(), z) == elements.end())
        elements.push_back(z);
}

// Symbols by their letter case; lower-case letters standing alone are multipliers ("n", "x").
static std::vector<int> symbolsByCase(const std::string &formula)
{
    std::vector<int> elements;
    for (std::size_t i = 0; i < formula.size(); ++i) {
        if (!isUpper(formula[i]))
            continue;
        int z = 0;
        if (i + 1 < formula.size() && isLower(formula[i + 1]))
            z = elementNumber(formula.substr(i, 2));
        if (z)
            ++i;
        else
            z = elementNumber(formula.substr(i, 1));
        if (!z)
            return {};
        addOnce(elements, z);
    }
    return elements;
}

// Old files write "FE2 O3": every run of letters one symbol in any case.
static std::vector<int> symbolsByRun(const std::string &formula)
{
    std::vector<int> elements;
    for (std::size_t i = 0; i < formula.size();) {
        if (!isLetter(formula[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < formula.size() && isLetter(formula[end]))
            ++end;
        const int z = elementNumber(formula.substr(i, end - i));
        if (!z)
            return {};
        addOnce(elements, z);
        i = end;
    }
    return elements;
}

std::vector<int> formulaElements(const std::string &formula)
{
    std::vector<int> elements = symbolsByCase(formula);
    return elements.empty() ? symbolsByRun(formula) : elements;
}

LabelReading elementFromLabel(const std::string &label, const std::vector<int> &formula)
{
    std::size_t letters = 0;
    while (letters < label.size() && isLetter(label[letters]))
        ++letters;
    if (letters == 0)
        return {};
    const std::string lower = toLower(label.substr(0, letters));
    const int two = letters >= 2 ? elementNumber(label.substr(0, 2)) : 0;
    const int one = elementNumber(label.substr(0, 1));
    // elementNumber reads D as H; the messages say why.
    const bool deuterium = lower[0] == 'd';
    const char *heavy = "D for deuterium";
    // No tungsten site is labelled Wat, so water wins over W even where the formula has W.
    const bool wat = lower.rfind("wat", 0) == 0;
    const char *water = "Wat for water oxygen";
    auto inFormula
        = [&](int z) { return z && std::find(formula.begin(), formula.end(), z) != formula.end(); };
    if (formula.empty()) {
        if (wat)
            return { 8, water };
        if (two)
            return { two, "" };
        return { one, one && deuterium ? heavy : "" };
    }
    if (inFormula(two))
        return { two, "" };
    if (wat)
        return { 8, water };
    const std::string notTwo = two ? elementSymbol(two) + " is not in the formula" : "";
    if (inFormula(one))
        return { one, deuterium ? heavy : notTwo };
    if (lower.rfind("ow", 0) == 0 || lower.rfind("oh", 0) == 0)
        return { 8, "Ow, OW, Oh for water or hydroxyl oxygen" };
    if (deuterium)
        return { 1, heavy };
    return {};
}

std::string elementSymbol(int z)
{
    if (z < 1 || z > maxAtomicNumber)
        return std::string();
    return symbols[z];
}

} // namespace atoms
