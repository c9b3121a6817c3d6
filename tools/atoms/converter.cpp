#include "converter.h"

#include "cifreader.h"
#include "cluster.h"
#include "configuration.h"
#include "elements.h"
#include "feffinput.h"
#include "keywordinput.h"
#include "options.h"
#include "pathhash.h"
#include "symmetry.h"
#include "textutil.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>

namespace atoms {

// Orbelin takes everything from the first marker on as feff.inp, so no message may hold one,
// whatever a file name or title contains.
static std::string withoutMarker(std::string text)
{
    const std::string marker = feffMarker;
    for (auto pos = text.find(marker); pos != std::string::npos; pos = text.find(marker, pos))
        text.replace(pos, marker.size(), " *This");
    return text;
}

static std::string fileNameOf(const std::string &path)
{
    return std::filesystem::path(path).filename().string();
}

// The largest input read; a structure file is a few kilobytes, and a device or a runaway
// file must not exhaust the memory.
static const std::uintmax_t largestInput = 64u << 20;

static std::string readFile(const std::string &path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw InputError("is a directory, not a file");
    // A FIFO or a device would block the read or never end it.
    const auto status = std::filesystem::status(path, error);
    if (!error && !std::filesystem::is_regular_file(status))
        throw InputError("is not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > largestInput)
        throw InputError("is larger than 64 MB (" + std::to_string(size >> 20) + " MB)");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw InputError(std::string("cannot open the file: ") + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw InputError("cannot read the file");
    return bytes.str();
}

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

// "Pb4 Te4": the elements of the filled cell in the order of their first site.
static std::string cellFormula(const Crystal &crystal, const FilledCell &filled)
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

// "12 Cu at 2.55717 A" for the atoms nearest to the centre.
static std::string firstShell(
    const std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites)
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

// The site the options or the keyword file's core name, else the first site.
static int chooseAbsorber(const Options &options, const Crystal &crystal)
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

// The atom of the filled cell at the cluster's centre: the absorber's first image, or for an
// absorber that lost its shared site, the atom that kept it.
static int centreAtom(const Crystal &crystal, const FilledCell &filled,
    const std::vector<int> &firstAtom, int absorber, std::vector<std::string> &messages)
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

// Takes the hydrogen atoms but the centre out of a cluster for a FEFF that cannot take them
// (FeffProgram::withoutHydrogen); returns how many there were.
static int leaveOutHydrogen(
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

static void checkFeffLimits(const std::vector<ClusterAtom> &cluster,
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

// "self-consistent potentials within 4.00 A: 19 atoms"; refuses a sphere without neighbours,
// in which FEFF 8.5L iterates on the lone absorber without a word.
static std::string scfSphere(
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

static int convert(const Options &options, std::ostream &out)
{
    const std::string name = fileNameOf(options.input);
    convertCrystal(readStructure(readFile(options.input), name), name, options, out);
    return 0;
}

// The sites a run computes: the chosen absorber, or with --sites all every site of its
// element that has positions of its own, with its weight (multiplicity x occupancy / total).
static std::vector<std::pair<int, double>> absorberSites(const Crystal &crystal,
    const FilledCell &filled, int chosen, bool allSites, std::vector<std::string> &messages)
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

// A site label as part of a directory name: [A-Za-z0-9._-] only, and unlike the others.
static std::string nameOfSite(const std::string &label, std::vector<std::string> &taken)
{
    std::string name;
    for (char c : label)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-'
            ? c
            : '_';
    if (name.empty())
        name = "_";
    std::string unique = name;
    for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n)
        unique = name + "_" + std::to_string(n);
    taken.push_back(unique);
    return unique;
}

// "conf-03" for 3 of 8, "conf-003" of 100.
static std::string nameOfConfiguration(int number, int count)
{
    const int width = std::max(2, static_cast<int>(std::to_string(count).size()));
    std::string digits = std::to_string(number);
    return "conf-" + std::string(width - digits.size(), '0') + digits;
}

// "on disordered positions 5 Sn2, 1 In" for a drawn cluster.
static std::string drawnSpecies(const std::vector<ClusterAtom> &cluster,
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

// A hash of what sameSurroundings compares, so that a site is compared only with the sites
// that may have its surroundings.
static std::size_t surroundingsHash(const std::vector<ClusterAtom> &cluster,
    const std::vector<CellAtom> &atoms, const std::vector<Site> &sites)
{
    std::uint64_t h = cluster.size();
    auto mix
        = [&h](std::uint64_t value) { h ^= value + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2); };
    for (const ClusterAtom &atom : cluster) {
        const Site &site = sites[atom.site];
        mix(static_cast<std::uint64_t>(site.z));
        mix(std::hash<double> {}(site.occupancy));
        mix(disordered(atoms[atom.atom]));
        for (int k = 0; k < 3; ++k)
            mix(static_cast<std::uint64_t>(std::llround(atom.xyz[k] * 1e5)));
    }
    return static_cast<std::size_t>(h);
}

// Whether two clusters hold the same atoms at the same places (to the printed 1e-5 A): sites
// related by a lattice translation.
static bool sameSurroundings(const std::vector<ClusterAtom> &a, const std::vector<ClusterAtom> &b,
    const std::vector<CellAtom> &atoms, const std::vector<Site> &sites)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Site &p = sites[a[i].site], &q = sites[b[i].site];
        if (p.z != q.z || p.occupancy != q.occupancy
            || disordered(atoms[a[i].atom]) != disordered(atoms[b[i].atom]))
            return false;
        for (int k = 0; k < 3; ++k)
            if (std::llround(a[i].xyz[k] * 1e5) != std::llround(b[i].xyz[k] * 1e5))
                return false;
    }
    return true;
}

// One FEFF input of a run.
struct Input
{
    std::string name;
    double weight = 1;
    int site = 0;
    std::vector<ClusterAtom> cluster;
};

// "input site-Fe1 weight 0.33333333333333331"
static std::string inputLine(const Input &input)
{
    char weight[40];
    std::snprintf(weight, sizeof weight, "%.17g", input.weight);
    return "input " + input.name + " weight " + weight;
}

void convertCrystal(
    const Crystal &crystal, const std::string &name, const Options &options, std::ostream &out)
{
    std::vector<std::string> messages;
    messages.push_back("read " + asciiLine(name, 100) + " (" + crystal.format
        + (crystal.name.empty() ? "" : ", " + crystal.name) + "): "
        + std::to_string(crystal.sites.size()) + " site" + (crystal.sites.size() == 1 ? "" : "s")
        + (crystal.formula.empty() ? "" : ", formula " + crystal.formula));
    messages.insert(messages.end(), crystal.notes.begin(), crystal.notes.end());
    messages.push_back("unit cell " + crystal.cell.text());

    const FilledCell filled = fillUnitCell(crystal);
    messages.insert(messages.end(), filled.notes.begin(), filled.notes.end());
    const std::string contents = cellFormula(crystal, filled);
    messages.push_back(
        std::to_string(filled.atoms.size()) + " atoms in the unit cell (" + contents + ")");

    const int chosen = chooseAbsorber(options, crystal);
    const int z = crystal.sites[chosen].z;
    std::string edge = !options.edge.empty()
        ? options.edge
        : (!crystal.edge.empty() ? crystal.edge : defaultEdge(z));
    for (char &c : edge)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const FeffProgram &feff = feffProgram(options.feff);
    if (z == 1 && feff.withoutHydrogen)
        throw InputError("hydrogen (" + crystal.sites[chosen].label + ") cannot be the absorber of"
            + " an input for " + feff.name + ", which never ends on some hydrogen positions;"
            + " use --feff 6");
    const int lightest = lightestAbsorber(edge, feff);
    if (z < lightest)
        throw InputError("the " + edge + " edge needs an absorber from " + elementSymbol(lightest)
            + " (Z=" + std::to_string(lightest) + ") on, not " + crystal.sites[chosen].label
            + " (Z=" + std::to_string(z) + ")");

    // A keyword file's rmax is the cluster radius, as in Atoms; FEFF's RMAX is --rmax.
    const double radius = options.radius.value_or(
        crystal.rmax > 0 ? std::min(crystal.rmax, feff.largestRadius) : defaultRadius);
    const double rmax = options.rmax.value_or(defaultRmax);
    const bool several = options.allSites || options.configurations > 0;
    const double shift = largestShift(crystal.cell, filled.atoms);

    std::vector<Input> inputs;
    std::vector<std::string> taken;
    std::vector<std::string> scfLines;
    struct Computed
    {
        int site;
        double weight;
        int centre;
        std::vector<ClusterAtom> cluster;
    };
    std::vector<Computed> computed;
    int hydrogenLeftOut = 0;
    // The computed sites by the hash of their surroundings.
    std::unordered_multimap<std::size_t, std::size_t> bySurroundings;
    std::vector<int> firstAtom(crystal.sites.size(), -1);
    for (std::size_t i = filled.atoms.size(); i-- > 0;)
        firstAtom[filled.atoms[i].site] = static_cast<int>(i);
    const ClusterCutter cutter(crystal.cell, filled.atoms);
    for (const auto &[absorber, weight] :
        absorberSites(crystal, filled, chosen, options.allSites, messages)) {
        const Site &absorberSite = crystal.sites[absorber];
        const int centre = centreAtom(crystal, filled, firstAtom, absorber, messages);
        messages.push_back("absorber " + absorberSite.label + " (" + elementSymbol(absorberSite.z)
            + ", Z=" + std::to_string(absorberSite.z) + "), " + edge + " edge"
            + (options.allSites ? ", weight " + shortNumber(weight) : ""));
        std::vector<ClusterAtom> cluster = cutter.cut(centre, radius);
        cluster.front().site = absorber;
        const int hydrogen = leaveOutHydrogen(cluster, crystal.sites, feff);
        hydrogenLeftOut += hydrogen;
        std::vector<int> ipots;
        checkFeffLimits(
            cluster, assignPotentials(cluster, crystal.sites, ipots), radius, feff, hydrogen);
        messages.push_back("cluster of " + std::to_string(cluster.size()) + " atoms within "
            + fixed(radius, 2) + " A"
            + (hydrogen > 0 ? " (" + std::to_string(hydrogen) + " H left out)" : "")
            + "; first shell " + firstShell(cluster, crystal.sites));
        // Sites that a file lists apart but that are lattice translations of one another, as
        // in a cell written out in P 1, need one input between them.
        const std::size_t hash = surroundingsHash(cluster, filled.atoms, crystal.sites);
        auto alike = computed.end();
        const auto candidates = bySurroundings.equal_range(hash);
        for (auto c = candidates.first; c != candidates.second; ++c)
            if (sameSurroundings(computed[c->second].cluster, cluster, filled.atoms, crystal.sites)
                && (alike == computed.end() || computed.begin() + c->second < alike))
                alike = computed.begin() + c->second;
        if (alike != computed.end()) {
            messages.push_back(absorberSite.label + " has the surroundings of "
                + crystal.sites[alike->site].label + " (a lattice translation); its weight goes to "
                + crystal.sites[alike->site].label);
            alike->weight += weight;
            continue;
        }
        bySurroundings.emplace(hash, computed.size());
        computed.push_back({ absorber, weight, centre, std::move(cluster) });
    }

    for (std::size_t n = 0; n < computed.size(); ++n) {
        Computed &site = computed[n];
        const Site &absorberSite = crystal.sites[site.site];
        if (options.scf)
            scfLines.push_back((computed.size() > 1 ? absorberSite.label + ": " : std::string())
                + scfSphere(site.cluster, *options.scf, radius, feff));
        const std::string siteName
            = options.allSites ? "site-" + nameOfSite(absorberSite.label, taken) : std::string();
        const int count = options.configurations;
        std::vector<ClusterAtom> wide;
        if (count > 0) {
            wide = cutter.cut(site.centre, radius + shift);
            wide.front().site = site.site;
        }
        if (count == 0 || !hasChoices(wide, filled.atoms)) {
            if (count > 0)
                messages.push_back("nothing to draw in the cluster of " + absorberSite.label
                    + " (no partly occupied or shared position); one input");
            inputs.push_back({ siteName.empty() ? nameOfConfiguration(1, 1) : siteName, site.weight,
                site.site, std::move(site.cluster) });
            continue;
        }
        // Each site draws from its own stream, so that its configurations do not depend on
        // the clusters of the sites before it.
        UniformDraws draws(options.seed ^ (0x9E3779B97F4A7C15ULL * n));
        for (int k = 1; k <= count; ++k) {
            Input input { (siteName.empty() ? "" : siteName + "-") + nameOfConfiguration(k, count),
                site.weight / count, site.site,
                drawConfiguration(crystal.cell, filled.atoms, wide, radius, draws) };
            const int hydrogen = leaveOutHydrogen(input.cluster, crystal.sites, feff);
            hydrogenLeftOut += hydrogen;
            std::vector<int> ipots;
            checkFeffLimits(input.cluster, assignPotentials(input.cluster, crystal.sites, ipots),
                radius, feff, hydrogen);
            messages.push_back("input " + input.name + ": " + std::to_string(input.cluster.size())
                + " atoms (" + drawnSpecies(input.cluster, filled.atoms, crystal.sites)
                + (hydrogen > 0 ? ", " + std::to_string(hydrogen) + " H left out" : "")
                + "); first shell " + firstShell(input.cluster, crystal.sites));
            inputs.push_back(std::move(input));
        }
    }
    if (options.configurations > 0 && inputs.size() > computed.size())
        messages.push_back(std::to_string(options.configurations)
            + " configurations per site drawn with seed " + std::to_string(options.seed)
            + " from the occupancies of the partly occupied and shared positions");
    messages.push_back("FEFF RMAX " + fixed(rmax, 2) + " A"
        + (rmax > radius ? "; paths longer than the cluster radius will be missing" : ""));
    if (feff.version != 6)
        messages.push_back(std::string("input for ") + feff.name);
    if (hydrogenLeftOut > 0)
        messages.push_back("hydrogen left out of the input for " + std::string(feff.name)
            + ": feff8l moves each hydrogen away from its nearest neighbour before computing"
              " potentials, without end when two neighbours are equally near (as in BaHBr);"
              " hydrogen scatters too weakly to matter in EXAFS, and --feff 6 keeps it");
    messages.insert(messages.end(), scfLines.begin(), scfLines.end());
    if (inputs.size() == 1)
        inputs.front().weight = 1;
    std::vector<std::vector<int>> orders;
    for (const Input &input : inputs) {
        const PotentialOrder order = hashSafeOrder(input.cluster, crystal.sites, rmax);
        orders.push_back(order.changed ? order.elements : std::vector<int>());
        if (order.near.empty())
            continue;
        std::vector<std::string> pairs;
        for (const auto &[a, b] : order.near)
            pairs.push_back(elementSymbol(a) + " and " + elementSymbol(b));
        std::vector<std::string> numbers;
        for (std::size_t i = 0; i < order.elements.size(); ++i)
            numbers.push_back(elementSymbol(order.elements[i]) + " " + std::to_string(i + 1));
        const std::string prefix = several ? "input " + input.name + ": " : std::string();
        const std::string why = "FEFF's path hash counts a step of one in the potential number "
                                "like 0.001 A, and paths through "
            + joined(pairs, ", ") + " differ by about that";
        messages.push_back(prefix
            + (order.unresolved ? why
                        + "; no numbering of the potentials keeps them apart, and FEFF may stop"
                          " with 'hash error at PATHSD'"
                                : "potentials numbered " + joined(numbers, ", ") + ", not in order"
                        + " of appearance: " + why));
    }

    for (const std::string &message : messages)
        out << withoutMarker("orbelin-atoms: " + message) << '\n';
    FeffJob common;
    common.sourceName = name;
    for (std::size_t i = 0; i < crystal.titles.size() && i < 4; ++i)
        common.titles.push_back(crystal.titles[i]);
    if (crystal.titles.empty() && !crystal.name.empty())
        common.titles.push_back(crystal.name);
    common.titles.push_back("formula " + (crystal.formula.empty() ? contents : crystal.formula)
        + ", space group " + crystal.spaceGroup);
    common.titles.push_back(crystal.cell.text());
    common.edge = edge;
    common.rmax = rmax;
    common.scf = options.scf.value_or(0);
    common.sites = crystal.sites;
    for (std::size_t n = 0; n < inputs.size(); ++n) {
        Input &input = inputs[n];
        FeffJob job = common;
        job.potentialOrder = orders[n];
        job.titles.push_back("absorber " + crystal.sites[input.site].label + ", " + edge + " edge, "
            + std::to_string(input.cluster.size()) + " atoms within " + fixed(radius, 2) + " A");
        if (several) {
            job.titles.push_back(inputLine(input));
            out << "* orbelin-atoms " << inputLine(input) << '\n';
        }
        job.cluster = std::move(input.cluster);
        out << feffInputText(job);
    }
    out.flush();
}

InputFormat detectFormat(const std::string &text)
{
    bool keywords = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word))
            continue;
        const std::string lower = toLower(word);
        if (lower.rfind("data_", 0) == 0)
            return InputFormat::Cif;
        const std::string keyword = lower.substr(0, lower.find_first_of("=,"));
        if (keyword == "atoms" || keyword == "atom" || keyword == "title" || keyword == "space")
            keywords = true;
    }
    return keywords ? InputFormat::Keywords : InputFormat::Unknown;
}

Crystal readStructure(const std::string &text, const std::string &fileName)
{
    if (text.find('\0') != std::string::npos)
        throw InputError("not a text file");
    if (trimmed(text).empty())
        throw InputError("the file is empty");
    std::string body = text;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0)
        body.erase(0, 3);
    switch (detectFormat(body)) {
    case InputFormat::Cif:
        return readCif(body, fileName);
    case InputFormat::Keywords:
        return parseKeywordInput(body);
    case InputFormat::Unknown:
        break;
    }
    throw InputError("neither a CIF (no data_ block) nor an Atoms keyword input (no 'atoms' list)");
}

int runConverter(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    auto fail = [&](const std::string &path, const std::string &cause, int status) {
        out.flush();
        err << withoutMarker("orbelin-atoms: error: " + (path.empty() ? "" : path + ": ") + cause)
            << '\n';
        err.flush();
        return status;
    };
    Options options;
    try {
        options = parseOptions(args);
    } catch (const InputError &e) {
        return fail(inputPathIn(args), e.what(), 2);
    }
    if (options.help) {
        out << usageText();
        return 0;
    }
    try {
        return convert(options, out);
    } catch (const InputError &e) {
        return fail(options.input, e.what(), 1);
    } catch (const std::exception &e) {
        return fail(options.input, std::string("internal error: ") + e.what(), 1);
    }
}

} // namespace atoms
