#ifndef ATOMS_ABSORBERS_H
#define ATOMS_ABSORBERS_H

#include "crystal.h"
#include "options.h"
#include "symmetry.h"

#include <string>
#include <utility>
#include <vector>

// The absorbing sites of a run, their weights, and the atom at the centre of each cluster.
namespace atoms {

// The site the options or the keyword file's core name, else the first site.
int chooseAbsorber(const Options &options, const Crystal &crystal);

// The atom of the filled cell at the cluster's centre: the absorber's first image, or for an
// absorber that lost its shared site, the atom that kept it.
int centreAtom(const Crystal &crystal, const FilledCell &filled, const std::vector<int> &firstAtom,
    int absorber, std::vector<std::string> &messages);

// The sites a run computes: the chosen absorber, or with --sites all every site of its
// element that has positions of its own, with its weight (multiplicity x occupancy / total).
std::vector<std::pair<int, double>> absorberSites(const Crystal &crystal, const FilledCell &filled,
    int chosen, bool allSites, std::vector<std::string> &messages);

} // namespace atoms

#endif
