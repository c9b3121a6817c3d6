#ifndef ATOMS_CONVERTER_H
#define ATOMS_CONVERTER_H

#include "crystal.h"
#include "options.h"

#include <ostream>
#include <string>
#include <vector>

// The conversion of a structure into the converter's messages and the feff.inp text, and the
// command line that asks for it.
namespace atoms {

// Writes the converter's messages and then the feff.inp text for a structure read from the
// file called name; throws InputError.
void convertCrystal(
    const Crystal &crystal, const std::string &name, const Options &options, std::ostream &out);

// Runs one conversion for a command line (without the program name), printing messages and
// then the feff.inp text to out, or one error line to err. Returns the exit status.
int runConverter(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace atoms

#endif
