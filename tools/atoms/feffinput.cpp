#include "feffinput.h"

#include "elements.h"
#include "textutil.h"

#include <cctype>
#include <cstdio>

namespace atoms {

const char *const feffMarker = " * This";

int holeNumber(const std::string &edge)
{
    const std::string e = toLower(edge);
    if (e == "k")
        return 1;
    if (e == "l1")
        return 2;
    if (e == "l2")
        return 3;
    if (e == "l3")
        return 4;
    return 0;
}

std::string defaultEdge(int z) { return z >= 57 ? "L3" : "K"; }

const FeffProgram &feffProgram(int version)
{
    static const FeffProgram feff6 { 6, "FEFF6", 500, 7, 94, 6, 12, 0, false };
    static const FeffProgram feff8 { 8, "FEFF 8.5L", 1000, 10, 99, 7, 20, 100, true };
    return version == 8 ? feff8 : feff6;
}

int lightestAbsorber(const std::string &edge, const FeffProgram &program)
{
    const int lightest[] = { 1, 1, 3, 5, program.lightestL3 };
    return lightest[holeNumber(edge)];
}

std::vector<Potential> assignPotentials(const std::vector<ClusterAtom> &cluster,
    const std::vector<Site> &sites, std::vector<int> &ipotOfAtom, const std::vector<int> &order)
{
    std::vector<Potential> potentials;
    ipotOfAtom.assign(cluster.size(), 0);
    if (cluster.empty())
        return potentials;
    const Site &centre = sites[cluster.front().site];
    potentials.push_back({ 0, centre.z, feffTag(centre.label, centre.z) });
    for (int z : order)
        potentials.push_back({ static_cast<int>(potentials.size()), z, elementSymbol(z) });
    for (std::size_t i = 1; i < cluster.size(); ++i) {
        const int z = sites[cluster[i].site].z;
        int ipot = 0;
        for (std::size_t p = 1; p < potentials.size() && ipot == 0; ++p)
            if (potentials[p].z == z)
                ipot = potentials[p].ipot;
        if (ipot == 0) {
            ipot = static_cast<int>(potentials.size());
            potentials.push_back({ ipot, z, elementSymbol(z) });
        }
        ipotOfAtom[i] = ipot;
    }
    return potentials;
}

std::string feffTag(const std::string &label, int z)
{
    std::string tag;
    for (char c : label)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '+' || c == '-'
            || c == '\'')
            tag += c;
    if (tag.size() > 10)
        tag.resize(10);
    return tag.empty() ? elementSymbol(z) : tag;
}

std::string feffInputText(const FeffJob &job)
{
    std::vector<int> ipots;
    const std::vector<Potential> potentials
        = assignPotentials(job.cluster, job.sites, ipots, job.potentialOrder);
    std::string text = std::string(feffMarker) + " feff.inp was written by orbelin-atoms from "
        + asciiLine(job.sourceName, 100) + "\n";
    for (const std::string &title : job.titles)
        text += " TITLE " + asciiLine(title, 72) + "\n";
    char line[200];
    std::snprintf(line, sizeof line, "\n HOLE %d   1.0\n", holeNumber(job.edge));
    text += line;
    text += "\n CONTROL 1 1 1 1\n PRINT 0 0 0 0\n\n";
    text += " RMAX " + fixed(job.rmax, 2) + "\n";
    if (job.scf > 0)
        text += " SCF " + fixed(job.scf, 2) + "\n";
    text += "\n";
    text += " POTENTIALS\n*   ipot   Z  tag\n";
    for (const Potential &p : potentials) {
        std::snprintf(line, sizeof line, "     %d   %3d   %s\n", p.ipot, p.z, p.tag.c_str());
        text += line;
    }
    text += "\n ATOMS\n*   x          y          z      ipot  tag        distance\n";
    for (std::size_t i = 0; i < job.cluster.size(); ++i) {
        const ClusterAtom &atom = job.cluster[i];
        const Site &site = job.sites[atom.site];
        std::snprintf(line, sizeof line, " %11s%11s%11s  %d   %-10s %9s\n",
            fixed(atom.xyz[0], 5).c_str(), fixed(atom.xyz[1], 5).c_str(),
            fixed(atom.xyz[2], 5).c_str(), ipots[i], feffTag(site.label, site.z).c_str(),
            fixed(atom.distance, 5).c_str());
        text += line;
    }
    text += " END\n";
    return text;
}

} // namespace atoms
