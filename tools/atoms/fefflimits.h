#ifndef ATOMS_FEFFLIMITS_H
#define ATOMS_FEFFLIMITS_H

#include "cluster.h"
#include "crystal.h"
#include "feffinput.h"

#include <string>
#include <vector>

// A cluster made to fit what a FEFF program takes, or refused with the limit it passes.
namespace atoms {

// Takes the hydrogen atoms but the centre out of a cluster for a FEFF that cannot take them
// (FeffProgram::withoutHydrogen); returns how many there were.
int leaveOutHydrogen(
    std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites, const FeffProgram &feff);

// Throws InputError for a cluster without neighbours, or with more atoms, heavier elements or
// more potentials than the program takes; hydrogen is the count leaveOutHydrogen took out.
void checkFeffLimits(const std::vector<ClusterAtom> &cluster,
    const std::vector<Potential> &potentials, double radius, const FeffProgram &feff, int hydrogen);

// "self-consistent potentials within 4.00 A: 19 atoms"; refuses a sphere without neighbours,
// in which FEFF 8.5L iterates on the lone absorber without a word.
std::string scfSphere(
    const std::vector<ClusterAtom> &cluster, double scf, double radius, const FeffProgram &feff);

} // namespace atoms

#endif
