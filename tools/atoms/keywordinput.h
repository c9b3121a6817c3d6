#ifndef ATOMS_KEYWORDINPUT_H
#define ATOMS_KEYWORDINPUT_H

#include "crystal.h"

#include <string>

namespace atoms {

// Reads the keyword format of Atoms input files: "title", "space", "a", "b", "c", "alpha",
// "beta", "gamma", "rmax", "core", "edge", then a line "atoms" followed by one
// "element x y z [tag]" per line. Throws InputError naming the line at fault.
Crystal parseKeywordInput(const std::string &text);

bool isAtomsKeyword(const std::string &word);

} // namespace atoms

#endif
