#ifndef ATOMS_STRUCTUREFILE_H
#define ATOMS_STRUCTUREFILE_H

#include "crystal.h"

#include <string>

// A structure file: its bytes, whether they are a CIF or an Atoms keyword input, and the
// Crystal they describe.
namespace atoms {

enum class InputFormat { Cif, Keywords, Unknown };

// The bytes of a regular file of at most 64 MB; throws InputError.
std::string readFile(const std::string &path);

// A CIF has a data_ block; a keyword file has an "atoms" list or a "title" or "space" line.
InputFormat detectFormat(const std::string &text);

// Reads a CIF or an Atoms keyword file from its text; throws InputError.
Crystal readStructure(const std::string &text, const std::string &fileName);

} // namespace atoms

#endif
