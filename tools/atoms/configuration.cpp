#include "configuration.h"

#include <algorithm>

namespace atoms {

static const double certain = 1 - 1e-6;

double largestShift(const Cell &cell, const std::vector<CellAtom> &atoms)
{
    const auto axes = cell.axes();
    double largest = 0;
    for (const CellAtom &atom : atoms)
        for (const Choice &choice : atom.choices)
            largest = std::max(largest, length(Cell::toCartesian(choice.offset, axes)));
    return largest;
}

bool disordered(const CellAtom &atom)
{
    return atom.choices.size() > 1
        || (atom.choices.size() == 1 && atom.choices[0].probability < certain);
}

bool hasChoices(const std::vector<ClusterAtom> &cluster, const std::vector<CellAtom> &atoms)
{
    return std::any_of(cluster.begin() + 1, cluster.end(),
        [&](const ClusterAtom &atom) { return disordered(atoms[atom.atom]); });
}

std::vector<ClusterAtom> drawConfiguration(const Cell &cell, const std::vector<CellAtom> &atoms,
    const std::vector<ClusterAtom> &wide, double radius, UniformDraws &draws)
{
    const auto axes = cell.axes();
    std::vector<ClusterAtom> drawn { wide.front() };
    for (std::size_t i = 1; i < wide.size(); ++i) {
        const std::vector<Choice> &choices = atoms[wide[i].atom].choices;
        double total = 0;
        for (const Choice &choice : choices)
            total += choice.probability;
        // Occupancies that add up to more than one share the position in proportion.
        double u = draws.next() * std::max(1.0, total);
        for (const Choice &choice : choices) {
            if (u < choice.probability) {
                ClusterAtom atom = wide[i];
                atom.site = choice.site;
                atom.xyz = onClusterGrid(atom.xyz + Cell::toCartesian(choice.offset, axes));
                atom.distance = onClusterGrid(length(atom.xyz));
                if (atom.distance <= radius + 1e-9)
                    drawn.push_back(atom);
                break;
            }
            u -= choice.probability;
        }
    }
    sortCluster(drawn);
    return drawn;
}

} // namespace atoms
