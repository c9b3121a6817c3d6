#ifndef ATOMS_SUMMARIES_H
#define ATOMS_SUMMARIES_H

#include "cluster.h"
#include "crystal.h"
#include "symmetry.h"

#include <string>
#include <vector>

// The phrases of the converter's messages that sum up a unit cell or a cluster.
namespace atoms {

// "Pb4 Te4": the elements of the filled cell in the order of their first site.
std::string cellFormula(const Crystal &crystal, const FilledCell &filled);

// "12 Cu at 2.55717 A" for the atoms nearest to the centre.
std::string firstShell(const std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites);

// "on disordered positions 5 Sn2, 1 In" for a drawn cluster.
std::string drawnSpecies(const std::vector<ClusterAtom> &cluster,
    const std::vector<CellAtom> &atoms, const std::vector<Site> &sites);

} // namespace atoms

#endif
