#ifndef ATOMS_CLUSTER_H
#define ATOMS_CLUSTER_H

#include "crystal.h"
#include "periodicgrid.h"
#include "symmetry.h"

#include <vector>

namespace atoms {

// One atom of the cluster, in Cartesian Angstrom relative to the centre.
struct ClusterAtom
{
    int site = 0;
    Vec3 xyz { 0, 0, 0 };
    double distance = 0;
    // The atom of the filled cell this one is an image of.
    int atom = 0;
};

// The atoms of a filled cell sorted once for the clusters cut around any of them; a cut takes
// time in proportion to the atoms near its centre, not to the atoms of the cell.
class ClusterCutter
{
public:
    // Keeps a reference to atoms, whose fractions lie in [0, 1).
    ClusterCutter(const Cell &cell, const std::vector<CellAtom> &atoms);

    // Every atom of the periodic structure within radius of atoms[centre]: the centre first,
    // then by distance and by x, y, z (all compared at 1e-5 Angstrom, the printed precision).
    std::vector<ClusterAtom> cut(int centre, double radius) const;

private:
    static double binWidth(const Cell &cell, std::size_t count);

    std::array<Vec3, 3> axes;
    const std::vector<CellAtom> &cellAtoms;
    PeriodicGrid grid;
};

// ClusterCutter(cell, atoms).cut(centre, radius), for one cluster.
std::vector<ClusterAtom> buildCluster(
    const Cell &cell, const std::vector<CellAtom> &atoms, int centre, double radius);

// The order of buildCluster for atoms of which the first is the centre.
void sortCluster(std::vector<ClusterAtom> &cluster);

// A position or distance on the 1e-10 A grid of cluster coordinates.
Vec3 onClusterGrid(const Vec3 &xyz);
double onClusterGrid(double x);

} // namespace atoms

#endif
