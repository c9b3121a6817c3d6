#ifndef ABSORBER_H
#define ABSORBER_H

#include <string>

// The absorbing atom and edge of a FEFF input: the Z of unique potential 0 of its
// POTENTIALS card and the core hole of its HOLE (FEFF 6) or EDGE (FEFF 8) card.
struct FeffAbsorber
{
    int z = 0; // 0 when the input names none; error says why
    std::string element; // "Fe"
    std::string edge; // "K", "L1" ... "M5"; K when the input has neither card
    std::string error;
};

FeffAbsorber feffAbsorber(const std::string &feffInp);

// The symbol of element z (1 to 103), else an empty string; and the reverse, in any letter
// case, 0 for no element.
std::string elementSymbol(int z);
int elementNumber(const std::string &symbol);

#endif
