#ifndef ATOMS_SPACEGROUPS_H
#define ATOMS_SPACEGROUPS_H

#include "crystal.h"

#include <optional>
#include <string>
#include <vector>

// Space groups looked up in gemmi's table by name, number, Hall symbol or operators.
namespace atoms {

struct SpaceGroup
{
    std::string name;
    std::vector<SymOp> ops;
    // Set when the name left a choice open (origin choice, axes).
    std::string note;
};

// Looks up a Hermann-Mauguin name in gemmi's table; also takes "Fm3m"-style names from
// before 1983, "P6_3mc", "P 63/m m c" and "F m -3 m :2". The angles pick hexagonal or
// rhombohedral axes for R groups.
std::optional<SpaceGroup> findSpaceGroup(
    const std::string &name, double alpha = 90, double gamma = 90);
std::optional<SpaceGroup> findSpaceGroupByNumber(int number);
std::optional<SpaceGroup> findSpaceGroupByHall(const std::string &hall);
// The Hermann-Mauguin name of the group these operators form, or empty.
std::string nameOfOps(const std::vector<SymOp> &ops);

} // namespace atoms

#endif
