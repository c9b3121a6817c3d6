#ifndef ATOMS_RUNINPUT_H
#define ATOMS_RUNINPUT_H

#include "cluster.h"

#include <string>
#include <vector>

// The FEFF inputs of one run (a site, or a configuration of one) with their names and weights.
namespace atoms {

// One FEFF input of a run.
struct Input
{
    std::string name;
    double weight = 1;
    int site = 0;
    std::vector<ClusterAtom> cluster;
};

// A site label as part of a directory name: [A-Za-z0-9._-] only, and unlike the others.
std::string nameOfSite(const std::string &label, std::vector<std::string> &taken);

// "conf-03" for 3 of 8, "conf-003" of 100.
std::string nameOfConfiguration(int number, int count);

// "input site-Fe1 weight 0.33333333333333331"
std::string inputLine(const Input &input);

} // namespace atoms

#endif
