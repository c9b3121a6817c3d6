#ifndef ATOMS_FEFFINPUT_H
#define ATOMS_FEFFINPUT_H

#include "cluster.h"
#include "crystal.h"

#include <cstddef>
#include <string>
#include <vector>

namespace atoms {

// The first words of the text, which Orbelin looks for to find where feff.inp begins.
extern const char *const feffMarker;

// FEFF's HOLE number for an edge name (K 1, L1 2, L2 3, L3 4, any letter case), or 0.
int holeNumber(const std::string &edge);
// K below lanthanum, L3 from Z = 57 on.
std::string defaultEdge(int z);
// What one of Debian's FEFF programs takes, found by running feff6 and feff8l on inputs at
// and beyond each limit.
struct FeffProgram
{
    int version;
    const char *name;
    // feff8l says "Too many atoms, max is 1000"; feff6 takes 500.
    std::size_t atoms;
    // Unique potentials besides the absorber's: feff8l reads ipot 11 but then writes no path
    // and no chi.dat, so 10; feff6 takes 7.
    std::size_t potentials;
    // feff8l: "Atomic number 100 not available."
    int heaviest;
    // feff8l stops in its atom solver on C L3, feff6 on B L3 (both on Be L2).
    int lightestL3;
    // feff6 cuts its path list beyond about 8 A anyway; feff8l has no distance limit of its
    // own, and 1000 atoms lie within 20 A in any solid.
    double largestRadius;
    // feff8l: "This exceeds the hard wired limit of 100 atoms" for a larger SCF cluster, which
    // it then cuts; 0 for a FEFF without self-consistent potentials.
    std::size_t scfAtoms;
    // feff8l moves each hydrogen atom away from its nearest neighbour before it computes the
    // potentials, and moves it again for as long as its nearest neighbour changes; a hydrogen
    // between neighbours at one distance (BaHBr, YH2) keeps it moving for ever. Its inputs
    // carry no hydrogen.
    bool withoutHydrogen;
};

// FEFF 6L for 6, FEFF 8.5L for 8 (Options::feff).
const FeffProgram &feffProgram(int version);

// The lightest absorber with the edge's shell that the program also accepts.
int lightestAbsorber(const std::string &edge, const FeffProgram &program);

struct Potential
{
    int ipot = 0;
    int z = 0;
    std::string tag;
};

// ipot 0 for the centre (cluster[0]), then one per element of the other atoms in order of
// first appearance, or in the order of the elements given; ipotOfAtom gets each cluster
// atom's ipot.
std::vector<Potential> assignPotentials(const std::vector<ClusterAtom> &cluster,
    const std::vector<Site> &sites, std::vector<int> &ipotOfAtom,
    const std::vector<int> &order = {});

// A site label as a FEFF tag: letters, digits and _+-' only, at most 10 characters.
std::string feffTag(const std::string &label, int z);

struct FeffJob
{
    std::string sourceName;
    std::vector<std::string> titles;
    std::string edge;
    double rmax = 5;
    // FEFF 8.5L's self-consistent potentials within this radius; none when 0.
    double scf = 0;
    std::vector<Site> sites;
    std::vector<ClusterAtom> cluster;
    // The elements of ipot 1, 2, ...; empty for the order of first appearance.
    std::vector<int> potentialOrder;
};

// The FEFF input, starting with the marker line and ending with END.
std::string feffInputText(const FeffJob &job);

} // namespace atoms

#endif
