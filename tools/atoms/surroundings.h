#ifndef ATOMS_SURROUNDINGS_H
#define ATOMS_SURROUNDINGS_H

#include "cluster.h"
#include "crystal.h"
#include "symmetry.h"

#include <cstddef>
#include <vector>

// Absorbing sites with the same surroundings, such as the sites of a cell written out in P 1
// that are lattice translations of one another, which need one FEFF input between them.
namespace atoms {

// A hash of what sameSurroundings compares, so that a site is compared only with the sites
// that may have its surroundings.
std::size_t surroundingsHash(const std::vector<ClusterAtom> &cluster,
    const std::vector<CellAtom> &atoms, const std::vector<Site> &sites);

// Whether two clusters hold the same atoms at the same places (to the printed 1e-5 A): sites
// related by a lattice translation.
bool sameSurroundings(const std::vector<ClusterAtom> &a, const std::vector<ClusterAtom> &b,
    const std::vector<CellAtom> &atoms, const std::vector<Site> &sites);

} // namespace atoms

#endif
