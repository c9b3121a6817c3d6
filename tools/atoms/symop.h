#ifndef ATOMS_SYMOP_H
#define ATOMS_SYMOP_H

#include "crystal.h"

#include <optional>
#include <string>

// Symmetry operators read from the text that CIFs and keyword inputs write them in.
namespace atoms {

// Parses an operator such as "x,y,z", "1/2+x,-y,z-1/2", "x-y, x, z+0.5", "-X,-Y,-Z".
std::optional<SymOp> parseSymop(const std::string &text);

} // namespace atoms

#endif
