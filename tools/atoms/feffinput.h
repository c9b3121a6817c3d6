#ifndef ATOMS_FEFFINPUT_H
#define ATOMS_FEFFINPUT_H

#include "cluster.h"
#include "crystal.h"

#include <string>
#include <vector>

namespace atoms {

// The first words of the text, which Orbelin looks for to find where feff.inp begins.
extern const char *const feffMarker;

// FEFF's HOLE number for an edge name (K 1, L1 2, L2 3, L3 4, any letter case), or 0.
int holeNumber(const std::string &edge);
// K below lanthanum, L3 from Z = 57 on.
std::string defaultEdge(int z);
// The lightest absorber with the edge's shell that FEFF6 also accepts (it stops on B L3).
int lightestAbsorber(const std::string &edge);

struct Potential
{
    int ipot = 0;
    int z = 0;
    std::string tag;
};

// ipot 0 for the centre (cluster[0]), then one per element of the other atoms in order of
// first appearance; ipotOfAtom gets each cluster atom's ipot.
std::vector<Potential> assignPotentials(const std::vector<ClusterAtom> &cluster,
    const std::vector<Site> &sites, std::vector<int> &ipotOfAtom);

// A site label as a FEFF tag: letters, digits and _+-' only, at most 10 characters.
std::string feffTag(const std::string &label, int z);

struct FeffJob
{
    std::string sourceName;
    std::vector<std::string> titles;
    std::string edge;
    double rmax = 5;
    std::vector<Site> sites;
    std::vector<ClusterAtom> cluster;
};

// The FEFF6 input, starting with the marker line and ending with END.
std::string feffInputText(const FeffJob &job);

} // namespace atoms

#endif
