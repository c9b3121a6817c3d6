#ifndef ATOMS_CLUSTER_H
#define ATOMS_CLUSTER_H

#include "crystal.h"
#include "symmetry.h"

#include <vector>

namespace atoms {

// One atom of the cluster, in Cartesian Angstrom relative to the centre.
struct ClusterAtom
{
    int site = 0;
    Vec3 xyz { 0, 0, 0 };
    double distance = 0;
};

// Every atom of the periodic structure within radius of atoms[centre]: the centre first, then
// by distance and by x, y, z (all compared at 1e-5 Angstrom, the printed precision).
std::vector<ClusterAtom> buildCluster(
    const Cell &cell, const std::vector<CellAtom> &atoms, int centre, double radius);

} // namespace atoms

#endif
