#ifndef ATOMS_PATHHASH_H
#define ATOMS_PATHHASH_H

#include "cluster.h"
#include "crystal.h"

#include <utility>
#include <vector>

namespace atoms {

// FEFF's path finder files each path under a hash of its legs: for the atom of leg i,
// 16.1234567^(i-1) x (nint(1000 x) + 0.894375 nint(1000 y) + 0.573498 nint(1000 z) + ipot)
// in the path's own frame (first atom on z, second in the xz plane). Two paths through atoms
// of different potentials whose x differ by 0.001 A per step of potential number get one
// key, and FEFF stops with "hash error at PATHSD". Idealised structures (model pyroxenes)
// have such near coincidences; the numbering of the potentials decides whether they collide.
struct PotentialOrder
{
    // The elements of ipot 1, 2, ... in order.
    std::vector<int> elements;
    // Whether that differs from the order of first appearance.
    bool changed = false;
    // Element pairs whose paths could share a key in the order of first appearance.
    std::vector<std::pair<int, int>> near;
    // True when no order keeps every such pair apart; elements is then the first appearance.
    bool unresolved = false;
};

// The order of first appearance in the cluster (cluster[0] the absorber, ipot 0), unless
// paths of up to three legs within rmax through atoms of two elements could share a key in
// it: then the first order, in the sequence of permutations, in which none can.
PotentialOrder hashSafeOrder(
    const std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites, double rmax);

} // namespace atoms

#endif
