#ifndef ATOMS_CONFIGURATION_H
#define ATOMS_CONFIGURATION_H

#include "cluster.h"
#include "crystal.h"
#include "symmetry.h"

#include <cstdint>
#include <random>
#include <vector>

namespace atoms {

// Uniform numbers in [0, 1) from a seed, alike on every platform: std::mt19937_64 is fully
// specified, the standard library's distributions are not.
class UniformDraws
{
public:
    explicit UniformDraws(std::uint64_t seed) : generator(seed) { }
    double next() { return static_cast<double>(generator() >> 11) * 0x1.0p-53; }

private:
    std::mt19937_64 generator;
};

// The farthest any choice of the cell's atoms lies from its position, in Angstrom.
double largestShift(const Cell &cell, const std::vector<CellAtom> &atoms);

// Whether a position has a choice to draw: more than one, or one that may be missing.
bool disordered(const CellAtom &atom);

// Whether an atom of the cluster other than the centre stands on a disordered position.
bool hasChoices(const std::vector<ClusterAtom> &cluster, const std::vector<CellAtom> &atoms);

// One configuration of a cluster built largestShift beyond radius: each atom but the centre
// becomes one of its position's choices, drawn with their probabilities, or is left out with
// the rest; then the atoms within radius, in buildCluster's order.
std::vector<ClusterAtom> drawConfiguration(const Cell &cell, const std::vector<CellAtom> &atoms,
    const std::vector<ClusterAtom> &wide, double radius, UniformDraws &draws);

} // namespace atoms

#endif
