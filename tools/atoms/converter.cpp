#include "converter.h"

#include "cifreader.h"
#include "cluster.h"
#include "elements.h"
#include "feffinput.h"
#include "keywordinput.h"
#include "options.h"
#include "symmetry.h"
#include "textutil.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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

static std::string readFile(const std::string &path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw InputError("is a directory, not a file");
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
static int centreAtom(const Crystal &crystal, const FilledCell &filled, int absorber,
    std::vector<std::string> &messages)
{
    for (std::size_t i = 0; i < filled.atoms.size(); ++i)
        if (filled.atoms[i].site == absorber)
            return static_cast<int>(i);
    const int centre = filled.replacedBy[absorber];
    const std::string &label = crystal.sites[absorber].label;
    if (centre < 0)
        throw InputError("absorber " + label + " is not in the filled unit cell");
    const std::string &host = crystal.sites[filled.atoms[centre].site].label;
    messages.push_back("absorber " + label + " put at the centre in place of " + host
        + ", the site they share; the other " + host + " positions keep " + host);
    return centre;
}

static void checkFeffLimits(const std::vector<ClusterAtom> &cluster,
    const std::vector<Potential> &potentials, double radius, const FeffProgram &feff)
{
    const std::string name = feff.name;
    if (cluster.size() < 2)
        throw InputError(
            "no atom within " + shortNumber(radius) + " A of the absorber; use a larger --radius");
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

    const int absorber = chooseAbsorber(options, crystal);
    const Site &absorberSite = crystal.sites[absorber];
    const int centre = centreAtom(crystal, filled, absorber, messages);
    std::string edge = !options.edge.empty()
        ? options.edge
        : (!crystal.edge.empty() ? crystal.edge : defaultEdge(absorberSite.z));
    for (char &c : edge)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const FeffProgram &feff = feffProgram(options.feff);
    const int lightest = lightestAbsorber(edge, feff);
    if (absorberSite.z < lightest)
        throw InputError("the " + edge + " edge needs an absorber from " + elementSymbol(lightest)
            + " (Z=" + std::to_string(lightest) + ") on, not " + absorberSite.label
            + " (Z=" + std::to_string(absorberSite.z) + ")");
    messages.push_back("absorber " + absorberSite.label + " (" + elementSymbol(absorberSite.z)
        + ", Z=" + std::to_string(absorberSite.z) + "), " + edge + " edge");

    // A keyword file's rmax is the cluster radius, as in Atoms; FEFF's RMAX is --rmax.
    const double radius = options.radius.value_or(
        crystal.rmax > 0 ? std::min(crystal.rmax, feff.largestRadius) : defaultRadius);
    const double rmax = options.rmax.value_or(defaultRmax);
    std::vector<ClusterAtom> cluster = buildCluster(crystal.cell, filled.atoms, centre, radius);
    cluster.front().site = absorber;
    std::vector<int> ipots;
    checkFeffLimits(cluster, assignPotentials(cluster, crystal.sites, ipots), radius, feff);
    messages.push_back("cluster of " + std::to_string(cluster.size()) + " atoms within "
        + fixed(radius, 2) + " A; first shell " + firstShell(cluster, crystal.sites));
    messages.push_back("FEFF RMAX " + fixed(rmax, 2) + " A"
        + (rmax > radius ? "; paths longer than the cluster radius will be missing" : ""));
    if (feff.version != 6)
        messages.push_back(std::string("input for ") + feff.name);
    if (options.scf)
        messages.push_back(scfSphere(cluster, *options.scf, radius, feff));

    FeffJob job;
    job.sourceName = name;
    for (std::size_t i = 0; i < crystal.titles.size() && i < 4; ++i)
        job.titles.push_back(crystal.titles[i]);
    if (crystal.titles.empty() && !crystal.name.empty())
        job.titles.push_back(crystal.name);
    job.titles.push_back("formula " + (crystal.formula.empty() ? contents : crystal.formula)
        + ", space group " + crystal.spaceGroup);
    job.titles.push_back(crystal.cell.text());
    job.titles.push_back("absorber " + absorberSite.label + ", " + edge + " edge, "
        + std::to_string(cluster.size()) + " atoms within " + fixed(radius, 2) + " A");
    job.edge = edge;
    job.rmax = rmax;
    job.scf = options.scf.value_or(0);
    job.sites = crystal.sites;
    job.cluster = std::move(cluster);
    const std::string text = feffInputText(job);

    for (const std::string &message : messages)
        out << withoutMarker("orbelin-atoms: " + message) << '\n';
    out << text;
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
