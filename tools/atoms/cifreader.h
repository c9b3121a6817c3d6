#ifndef ATOMS_CIFREADER_H
#define ATOMS_CIFREADER_H

#include "crystal.h"
#include "spacegroups.h"

#include <string>

// Reading CIF text with gemmi, whose CIF headers are slow to compile, so that they are
// compiled once, in cifreader.cpp.
namespace atoms {

// Reads the first data block with atom sites; throws InputError naming what is missing.
Crystal readCif(const std::string &text, const std::string &fileName);

} // namespace atoms

#endif
