#include "elements.h"

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

std::string elementSymbol(int z)
{
    if (z < 1 || z > maxAtomicNumber)
        return std::string();
    return symbols[z];
}

} // namespace atoms
