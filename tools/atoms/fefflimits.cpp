#include "fefflimits.h"

#include "elements.h"
#include "textutil.h"

#include <algorithm>

namespace atoms {

int leaveOutHydrogen(
    std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites, const FeffProgram &feff)
{
    if (!feff.withoutHydrogen || cluster.empty())
        return 0;
    const auto kept = std::remove_if(cluster.begin() + 1, cluster.end(),
        [&](const ClusterAtom &atom) { return sites[atom.site].z == 1; });
    const int count = static_cast<int>(cluster.end() - kept);
    cluster.erase(kept, cluster.end());
    return count;
}

void checkFeffLimits(const std::vector<ClusterAtom> &cluster,
    const std::vector<Potential> &potentials, double radius, const FeffProgram &feff, int hydrogen)
{
    const std::string name = feff.name;
    if (cluster.size() < 2)
        throw InputError("no atom within " + shortNumber(radius) + " A of the absorber"
            + (hydrogen > 0 ? " but hydrogen, which an input for " + name + " leaves out" : "")
            + "; use a larger --radius");
    if (cluster.size() > feff.atoms)
        throw InputError("the cluster of radius " + shortNumber(radius) + " A has "
            + std::to_string(cluster.size()) + " atoms, more than " + name + " takes ("
            + std::to_string(feff.atoms) + "); use a smaller --radius");
    for (const Potential &potential : potentials)
        if (potential.z > feff.heaviest)
            throw InputError(elementSymbol(potential.z) + " (Z=" + std::to_string(potential.z)
                + ") is in the cluster; " + name + " handles elements up to "
                + elementSymbol(feff.heaviest) + " (Z=" + std::to_string(feff.heaviest) + ")");
    if (potentials.size() > feff.potentials + 1)
        throw InputError("the cluster has " + std::to_string(potentials.size() - 1)
            + " elements besides the absorber, more than " + name + " takes ("
            + std::to_string(feff.potentials) + ")");
}

std::string scfSphere(
    const std::vector<ClusterAtom> &cluster, double scf, double radius, const FeffProgram &feff)
{
    std::size_t atoms = 0;
    while (atoms < cluster.size() && cluster[atoms].distance <= scf + 1e-9)
        ++atoms;
    if (atoms < 2)
        throw InputError("no atom within the --scf radius " + shortNumber(scf)
            + " A of the absorber; the first shell is at " + fixed(cluster[1].distance, 3) + " A");
    if (atoms > feff.scfAtoms)
        throw InputError("the --scf radius " + shortNumber(scf) + " A holds "
            + std::to_string(atoms) + " atoms, more than " + feff.name
            + " takes for self-consistent potentials (" + std::to_string(feff.scfAtoms)
            + "); use a smaller --scf");
    return "self-consistent potentials (SCF) within " + fixed(scf, 2)
        + " A: " + std::to_string(atoms) + " atoms"
        + (scf > radius ? "; atoms beyond the cluster radius are missing from it" : "");
}

} // namespace atoms
