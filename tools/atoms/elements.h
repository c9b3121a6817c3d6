#ifndef ATOMS_ELEMENTS_H
#define ATOMS_ELEMENTS_H

#include <string>

namespace atoms {

constexpr int maxAtomicNumber = 103;

// Atomic number of an element symbol in any letter case ("cu", "CU", "Cu"), or 0.
int elementNumber(const std::string &symbol);

// Atomic number from a CIF type symbol or site label: "Si4+", "C4-", "Cs1", "O2'", "D"; or 0.
// Two letters win over one when they name an element, as in "Cs1" (Cs, not C).
int elementFromTypeSymbol(const std::string &symbol);

// "Cu" for 29; empty for numbers outside 1..maxAtomicNumber.
std::string elementSymbol(int z);

} // namespace atoms

#endif
