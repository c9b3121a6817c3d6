#include "summaries.h"

#include "configuration.h"
#include "elements.h"
#include "textutil.h"

#include <map>

namespace atoms {

std::string cellFormula(const Crystal &crystal, const FilledCell &filled)
{
    std::map<int, int> counts;
    for (const CellAtom &atom : filled.atoms)
        ++counts[crystal.sites[atom.site].z];
    std::vector<std::string> parts;
    for (const Site &site : crystal.sites) {
        auto count = counts.find(site.z);
        if (count == counts.end())
            continue;
        parts.push_back(elementSymbol(site.z) + std::to_string(count->second));
        counts.erase(count);
    }
    return joined(parts, " ");
}

std::string firstShell(const std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites)
{
    if (cluster.size() < 2)
        return "none";
    const double r = cluster[1].distance;
    std::map<int, int> counts;
    for (std::size_t i = 1; i < cluster.size() && cluster[i].distance < r + 1e-4; ++i)
        ++counts[sites[cluster[i].site].z];
    std::vector<std::string> parts;
    for (const auto &[z, count] : counts)
        parts.push_back(std::to_string(count) + " " + elementSymbol(z));
    return joined(parts, " + ") + " at " + fixed(r, 5) + " A";
}

std::string drawnSpecies(const std::vector<ClusterAtom> &cluster,
    const std::vector<CellAtom> &atoms, const std::vector<Site> &sites)
{
    std::map<int, int> counts;
    for (std::size_t i = 1; i < cluster.size(); ++i)
        if (disordered(atoms[cluster[i].atom]))
            ++counts[cluster[i].site];
    std::vector<std::string> parts;
    for (const auto &[site, count] : counts)
        parts.push_back(std::to_string(count) + " " + sites[site].label);
    return parts.empty() ? "none on disordered positions"
                         : "on disordered positions " + joined(parts, ", ");
}

} // namespace atoms
