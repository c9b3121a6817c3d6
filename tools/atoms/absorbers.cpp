#include "absorbers.h"

#include "elements.h"
#include "textutil.h"

#include <algorithm>

namespace atoms {

static int findSite(const std::vector<Site> &sites, const std::string &name)
{
    for (std::size_t i = 0; i < sites.size(); ++i)
        if (sites[i].label == name)
            return static_cast<int>(i);
    for (std::size_t i = 0; i < sites.size(); ++i)
        if (equalsIgnoreCase(sites[i].label, name))
            return static_cast<int>(i);
    if (const int z = elementNumber(name))
        for (std::size_t i = 0; i < sites.size(); ++i)
            if (sites[i].z == z)
                return static_cast<int>(i);
    return -1;
}

static std::string siteList(const std::vector<Site> &sites)
{
    std::vector<std::string> labels;
    for (const Site &site : sites)
        labels.push_back(site.label);
    return listed(labels);
}

int chooseAbsorber(const Options &options, const Crystal &crystal)
{
    const std::string &name = options.absorber.empty() ? crystal.core : options.absorber;
    if (name.empty())
        return 0;
    const int site = findSite(crystal.sites, name);
    if (site < 0)
        throw InputError(std::string(options.absorber.empty() ? "core" : "absorber") + " '"
            + asciiLine(name, 20)
            + "' is neither a site label nor an element of the structure (sites: "
            + siteList(crystal.sites) + ")");
    return site;
}

int centreAtom(const Crystal &crystal, const FilledCell &filled, const std::vector<int> &firstAtom,
    int absorber, std::vector<std::string> &messages)
{
    if (firstAtom[absorber] >= 0)
        return firstAtom[absorber];
    const int centre = filled.replacedBy[absorber];
    const std::string &label = crystal.sites[absorber].label;
    if (centre < 0)
        throw InputError("absorber " + label + " is not in the filled unit cell");
    const std::string &host = crystal.sites[filled.atoms[centre].site].label;
    messages.push_back("absorber " + label + " put at the centre in place of " + host
        + ", the site they share; the other " + host + " positions keep " + host);
    return centre;
}

std::vector<std::pair<int, double>> absorberSites(const Crystal &crystal, const FilledCell &filled,
    int chosen, bool allSites, std::vector<std::string> &messages)
{
    if (!allSites)
        return { { chosen, 1.0 } };
    std::vector<std::pair<int, double>> sites;
    double total = 0;
    for (std::size_t s = 0; s < crystal.sites.size(); ++s) {
        const Site &site = crystal.sites[s];
        if (site.z != crystal.sites[chosen].z)
            continue;
        const double amount = filled.multiplicity[s] * std::min(1.0, site.occupancy);
        if (filled.multiplicity[s] == 0) {
            messages.push_back("site " + site.label + " repeats the positions of another site of "
                + elementSymbol(site.z) + "; left out of the sites");
            continue;
        }
        sites.emplace_back(static_cast<int>(s), amount);
        total += amount;
    }
    std::vector<std::string> parts;
    for (auto &[site, weight] : sites) {
        const Site &s = crystal.sites[site];
        parts.push_back(s.label + " " + std::to_string(filled.multiplicity[site]) + " x "
            + shortNumber(std::min(1.0, s.occupancy)));
        weight /= total;
    }
    messages.push_back(std::to_string(sites.size()) + " site" + (sites.size() == 1 ? "" : "s")
        + " of " + elementSymbol(crystal.sites[chosen].z)
        + " (positions in the unit cell x occupancy): " + listed(parts));
    return sites;
}

} // namespace atoms
