#include "converter.h"

#include "absorbers.h"
#include "cluster.h"
#include "configuration.h"
#include "elements.h"
#include "feffinput.h"
#include "fefflimits.h"
#include "options.h"
#include "pathhash.h"
#include "runinput.h"
#include "structurefile.h"
#include "summaries.h"
#include "surroundings.h"
#include "symmetry.h"
#include "textutil.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
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

static int convert(const Options &options, std::ostream &out)
{
    const std::string name = fileNameOf(options.input);
    convertCrystal(readStructure(readFile(options.input), name), name, options, out);
    return 0;
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
