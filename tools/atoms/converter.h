#ifndef ATOMS_CONVERTER_H
#define ATOMS_CONVERTER_H

#include "crystal.h"
#include "options.h"

#include <ostream>
#include <string>
#include <vector>

namespace atoms {

enum class InputFormat { Cif, Keywords, Unknown };

// A CIF has a data_ block; a keyword file has an "atoms" list or a "title" or "space" line.
InputFormat detectFormat(const std::string &text);

// Reads a CIF or an Atoms keyword file from its text; throws InputError.
Crystal readStructure(const std::string &text, const std::string &fileName);

// Writes the converter's messages and then the feff.inp text for a structure read from the
// file called name; throws InputError.
void convertCrystal(
    const Crystal &crystal, const std::string &name, const Options &options, std::ostream &out);

// Runs one conversion for a command line (without the program name), printing messages and
// then the feff.inp text to out, or one error line to err. Returns the exit status.
int runConverter(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace atoms

#endif
