#ifndef ATOMS_SYMMETRY_H
#define ATOMS_SYMMETRY_H

#include "crystal.h"
#include "symop.h"

#include <string>
#include <vector>

// The unit cell filled by the symmetry operators, its shared and split positions merged into
// choices.
namespace atoms {

// x in [0, 1); values within 1e-6 below 1 become 0, so that 0.9999995 and 0 are one position.
double wrapFraction(double x);

// What may stand at one position of the unit cell: an image of a site, shifted by offset
// (fractional) from the position, with the probability its occupancy gives.
struct Choice
{
    int site = 0;
    Vec3 offset { 0, 0, 0 };
    double probability = 1;
};

// One atom of the filled unit cell: an image of a site.
struct CellAtom
{
    int site = 0;
    Vec3 frac { 0, 0, 0 };
    // Everything that competes for this position, this atom first: the other images of a
    // split site, species sharing the position, alternative sites. One choice of probability
    // 1 leaves nothing to choose.
    std::vector<Choice> choices;
};

// Distances in Angstrom that decide which atoms of the filled cell are one and the same.
struct MergeRules
{
    // Closer than this, two images are one position: a site on a special position, a site
    // listed twice, or two species sharing a site.
    double samePosition = 0.1;
    // Closer than this, two atoms cannot both be there: partly occupied ones are alternatives
    // (positional disorder), fully occupied ones make the input an error.
    double tooClose = 0.5;
    // Images of one partly occupied site closer than this to one another are alternative
    // positions of one atom (a split site); the cell keeps one of each such group.
    double splitSite = 1.0;
    // A coordinate this close to a multiple of 1/12 is that multiple written with too few
    // digits (0.3333 for 1/3).
    double snap = 1e-4;
};

// The atoms of one unit cell after symmetry expansion and merging.
struct FilledCell
{
    std::vector<CellAtom> atoms;
    // For each site, the atom that took its place when all its images were merged away
    // (the site lost a shared position to a species of larger occupancy), else -1.
    std::vector<int> replacedBy;
    // For each site, its positions in the unit cell (before any gave way to another site),
    // less those that repeat a position of another site of the same element.
    std::vector<int> multiplicity;
    std::vector<std::string> notes;
};

// Snaps the sites' coordinates to multiples of 1/12 (rules.snap), applies the operators to
// every site, wraps the images into the cell and merges duplicates; of a split site's
// alternatives the one nearest their centre stays, and where atoms of different sites compete
// for one position the one with the larger occupancy stays.
// Throws InputError for fully occupied atoms closer than rules.tooClose.
FilledCell fillUnitCell(const Crystal &crystal, const MergeRules &rules = MergeRules());

// Shortest distance in Angstrom between two fractional positions over all lattice translations,
// exact for distances below the smallest plane spacing.
double periodicDistance(const Cell &cell, const Vec3 &f1, const Vec3 &f2);

} // namespace atoms

#endif
