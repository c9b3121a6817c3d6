#ifndef ATOMS_ELEMENTS_H
#define ATOMS_ELEMENTS_H

#include <string>
#include <vector>

namespace atoms {

constexpr int maxAtomicNumber = 103;

// Atomic number of an element symbol in any letter case ("cu", "CU", "Cu"), or 0.
int elementNumber(const std::string &symbol);

// Atomic number from a CIF type symbol or site label: "Si4+", "C4-", "Cs1", "O2'", "D"; or 0.
// Two letters win over one when they name an element, as in "Cs1" (Cs, not C).
int elementFromTypeSymbol(const std::string &symbol);

// The elements a chemical formula names, in order and once each: "Cl2 H12 Ni O6", "CaMg(CO3)2",
// "C6 H12 N2 O4 2+, 2(Cl 1-)", "FE2 O3"; D counts as H. Empty when it names none or holds
// a symbol that is no element.
std::vector<int> formulaElements(const std::string &formula);

// The element of a site that only its label names, and why it is not the plain reading.
struct LabelReading
{
    int z = 0; // 0: the label names no element of the formula
    std::string why;
};

// With a formula, the label's two-letter element counts only if the formula has it, else its
// one-letter element, else the labelling conventions (Wat, Ow, OW, Oh for water or hydroxyl
// oxygen; D for deuterium). Without one (empty formula), two letters win over one as in
// elementFromTypeSymbol, and Wat is water.
LabelReading elementFromLabel(const std::string &label, const std::vector<int> &formula);

// "Cu" for 29; empty for numbers outside 1..maxAtomicNumber.
std::string elementSymbol(int z);

} // namespace atoms

#endif
