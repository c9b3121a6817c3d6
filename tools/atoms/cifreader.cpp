#include "cifreader.h"

#include "elements.h"
#include "spacegroups.h"
#include "symop.h"
#include "textutil.h"

#include <gemmi/cif.hpp>
#include <gemmi/smcif.hpp>

#include <cmath>
#include <map>

namespace cif = gemmi::cif;

namespace atoms {

static std::string firstLine(const std::string &text)
{
    return asciiLine(text.substr(0, text.find('\n')));
}

// Text of a single-valued tag, or empty when missing or '?' or '.'.
static std::string valueOf(cif::Block &block, const std::string &tag)
{
    const std::string *value = block.find_value(tag);
    return value ? cif::as_string(*value) : std::string();
}

static std::optional<double> numberOf(cif::Block &block, const std::string &tag)
{
    const std::string *value = block.find_value(tag);
    if (!value || cif::is_null(*value))
        return std::nullopt;
    const double number = cif::as_number(*value);
    if (std::isnan(number))
        throw InputError(tag + " is not a number: " + asciiLine(*value, 40));
    return number;
}

static Cell readCell(cif::Block &block, std::vector<std::string> &notes)
{
    Cell cell;
    double *lengths[] = { &cell.a, &cell.b, &cell.c };
    const char *lengthTags[] = { "_cell_length_a", "_cell_length_b", "_cell_length_c" };
    for (int i = 0; i < 3; ++i) {
        const auto value = numberOf(block, lengthTags[i]);
        if (!value)
            throw InputError(std::string("no unit cell: ") + lengthTags[i] + " is missing");
        *lengths[i] = *value;
    }
    double *angles[] = { &cell.alpha, &cell.beta, &cell.gamma };
    const char *angleTags[] = { "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma" };
    for (int i = 0; i < 3; ++i) {
        if (const auto value = numberOf(block, angleTags[i]))
            *angles[i] = *value;
        else
            notes.push_back(std::string(angleTags[i]) + " is missing; taking 90 degrees");
    }
    const std::string problem = cell.problem();
    if (!problem.empty())
        throw InputError("bad unit cell: " + problem);
    return cell;
}

struct Formula
{
    std::string text;
    std::string tag;
    std::vector<int> elements;
};

static Formula readFormula(cif::Block &block)
{
    for (const char *tag :
        { "_chemical_formula_sum", "_chemical_formula_structural", "_chemical_formula_moiety" }) {
        const std::string text = valueOf(block, tag);
        if (!text.empty())
            return { asciiLine(text, 60), tag, formulaElements(text) };
    }
    return {};
}

// The element of a site without a type symbol, from its label checked against the formula.
static int elementOfLabel(const std::string &label, const Formula &formula,
    std::map<std::pair<int, std::string>, std::vector<std::string>> &readings)
{
    const LabelReading reading = elementFromLabel(label, formula.elements);
    if (reading.z == 0) {
        if (formula.elements.empty())
            throw InputError("site " + label + ": unknown element '" + label + "'");
        throw InputError("site " + label + ": the label names no element of the formula '"
            + formula.text + "' (" + formula.tag
            + ") and follows no labelling convention (Wat, Ow, OW, Oh, D); give "
              "_atom_site_type_symbol");
    }
    if (!reading.why.empty())
        readings[{ reading.z, reading.why }].push_back(label);
    return reading.z;
}

static std::vector<Site> readSites(cif::Block &block, std::vector<std::string> &notes)
{
    if (!block.find_values("_atom_site_label") && !block.find_values("_atom_site_type_symbol"))
        throw InputError("no atom sites (no _atom_site_label loop)");
    for (const char *tag : { "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z" })
        if (!block.find_values(tag))
            throw InputError(std::string("the atom sites have no fractional coordinates (") + tag
                + " is missing)");

    const gemmi::SmallStructure small = gemmi::make_small_structure_from_block(block);
    const Formula formula = readFormula(block);
    // (element, why) -> labels read so
    std::map<std::pair<int, std::string>, std::vector<std::string>> readings;
    bool byLabel = false;
    // gemmi copies the label into the type symbol when the file has no type symbols.
    const bool typeSymbols = bool(block.find_values("_atom_site_type_symbol"));
    std::vector<Site> sites;
    for (const gemmi::SmallStructure::Site &in : small.sites) {
        Site site;
        site.label = asciiLine(in.label, 20);
        if (!typeSymbols || in.type_symbol.empty()) {
            site.z = elementOfLabel(site.label, formula, readings);
            byLabel = true;
        } else {
            site.z = elementFromTypeSymbol(in.type_symbol);
            if (site.z == 0)
                throw InputError("site " + site.label + ": unknown element '"
                    + asciiLine(in.type_symbol, 20) + "'");
        }
        site.frac = { in.fract.x, in.fract.y, in.fract.z };
        for (double x : site.frac)
            if (!std::isfinite(x))
                throw InputError("site " + site.label + " has no fractional coordinates");
        site.occupancy = std::isfinite(in.occ) ? in.occ : 1.0;
        if (site.occupancy <= 0) {
            notes.push_back("site " + site.label + " has occupancy " + shortNumber(site.occupancy)
                + "; left out");
            continue;
        }
        sites.push_back(site);
    }
    if (sites.empty())
        throw InputError("no atom sites");
    if (byLabel && !formula.text.empty() && formula.elements.empty())
        notes.push_back("the formula '" + formula.text + "' (" + formula.tag
            + ") names no element that can be read; site elements from their labels alone");
    for (const auto &[reading, labels] : readings)
        notes.push_back(std::string(labels.size() == 1 ? "label " : "labels ") + listed(labels)
            + " read as " + elementSymbol(reading.first) + " (" + reading.second + ")");
    return sites;
}

struct CifSymmetry
{
    std::vector<SymOp> ops;
    std::string name;
    // Empty when the file has no symmetry at all.
    std::string source;
};

static std::optional<CifSymmetry> symmetryFromLoops(cif::Block &block)
{
    for (const char *tag : { "_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz",
             "_space_group_symop.operation_xyz" }) {
        const cif::Column column = block.find_values(tag);
        if (!column || column.length() == 0)
            continue;
        CifSymmetry symmetry;
        for (const std::string &raw : column) {
            const std::string text = cif::as_string(raw);
            const auto op = parseSymop(text);
            if (!op)
                throw InputError(
                    std::string("bad symmetry operator '") + asciiLine(text, 40) + "' in " + tag);
            symmetry.ops.push_back(*op);
        }
        symmetry.source = std::to_string(symmetry.ops.size()) + " operator"
            + (symmetry.ops.size() == 1 ? "" : "s") + " from " + tag;
        return symmetry;
    }
    return std::nullopt;
}

// Every tag naming the group by Hermann-Mauguin symbol, the usual ones first.
static std::vector<std::string> nameTags(const cif::Block &block)
{
    std::vector<std::string> tags
        = { "_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M" };
    for (const cif::Item &item : block.items) {
        if (item.type != cif::ItemType::Pair)
            continue;
        const std::string tag = toLower(item.pair[0]);
        if (tag.find("h-m") != std::string::npos && tag.find("name") != std::string::npos
            && tag != "_space_group_name_h-m_alt" && tag != "_symmetry_space_group_name_h-m")
            tags.push_back(item.pair[0]);
    }
    return tags;
}

static CifSymmetry readSymmetry(
    cif::Block &block, const Cell &cell, std::vector<std::string> &notes)
{
    std::vector<std::string> unknownNames;
    std::optional<SpaceGroup> named;
    std::string namedTag;
    for (const std::string &tag : nameTags(block)) {
        const std::string name = valueOf(block, tag);
        if (name.empty())
            continue;
        if (auto group = findSpaceGroup(name, cell.alpha, cell.gamma)) {
            named = group;
            namedTag = tag;
            break;
        }
        unknownNames.push_back("'" + asciiLine(name, 30) + "' (" + tag + ")");
    }

    if (auto symmetry = symmetryFromLoops(block)) {
        symmetry->name = nameOfOps(symmetry->ops);
        if (named && named->ops.size() != symmetry->ops.size())
            notes.push_back("the operator list and the space-group name " + named->name + " ("
                + std::to_string(named->ops.size())
                + " operators) disagree; using the operator list");
        if (symmetry->name.empty())
            symmetry->name = named ? named->name : "unknown";
        return *symmetry;
    }

    // Past the operators, each fallback tells which names it could not use.
    auto fallback = [&](CifSymmetry symmetry) {
        if (!unknownNames.empty())
            notes.push_back("unknown space group " + joined(unknownNames, ", "));
        return symmetry;
    };
    for (const char *tag : { "_space_group_name_Hall", "_symmetry_space_group_name_Hall" }) {
        const std::string hall = valueOf(block, tag);
        if (hall.empty())
            continue;
        if (const auto group = findSpaceGroupByHall(hall))
            return fallback({ group->ops, group->name, std::string("Hall symbol in ") + tag });
        unknownNames.push_back("'" + asciiLine(hall, 30) + "' (" + tag + ")");
    }

    if (named) {
        if (!named->note.empty())
            notes.push_back(named->note);
        return { named->ops, named->name, "name in " + namedTag };
    }

    for (const char *tag :
        { "_space_group_IT_number", "_symmetry_Int_Tables_number", "_space_group.IT_number" }) {
        const std::string number = valueOf(block, tag);
        if (number.empty())
            continue;
        const auto value = parseNumber(number);
        if (value && *value == std::floor(*value)) {
            if (const auto group = findSpaceGroupByNumber(static_cast<int>(*value))) {
                if (!group->note.empty())
                    notes.push_back(group->note);
                return fallback({ group->ops, group->name, std::string("number in ") + tag });
            }
        }
        unknownNames.push_back("'" + asciiLine(number, 30) + "' (" + tag + ")");
    }

    return fallback({ std::vector<SymOp>(), "P 1", std::string() });
}

Crystal readCif(const std::string &text, const std::string &fileName)
{
    cif::Document document;
    try {
        document = cif::read_memory(text.data(), text.size(), fileName.c_str());
    } catch (const std::exception &e) {
        throw InputError(std::string("not a readable CIF: ") + firstLine(e.what()));
    }
    if (document.blocks.empty())
        throw InputError("no data block");

    cif::Block *block = nullptr;
    for (cif::Block &candidate : document.blocks)
        if (candidate.find_values("_atom_site_label")
            || candidate.find_values("_atom_site_type_symbol")) {
            block = &candidate;
            break;
        }
    Crystal crystal;
    crystal.format = "CIF";
    if (!block)
        throw InputError("no atom sites (no _atom_site_label loop)");
    if (document.blocks.size() > 1)
        crystal.notes.push_back(
            std::to_string(document.blocks.size()) + " data blocks; reading data_" + block->name);

    try {
        crystal.name = asciiLine(block->name, 60);
        crystal.formula = asciiLine(valueOf(*block, "_chemical_formula_sum"), 60);
        for (const char *tag :
            { "_chemical_name_mineral", "_chemical_name_systematic", "_chemical_name_common" }) {
            const std::string title = asciiLine(valueOf(*block, tag), 70);
            if (!title.empty()) {
                crystal.titles.push_back(title);
                break;
            }
        }
        crystal.cell = readCell(*block, crystal.notes);
        crystal.sites = readSites(*block, crystal.notes);
        CifSymmetry symmetry = readSymmetry(*block, crystal.cell, crystal.notes);
        crystal.ops = std::move(symmetry.ops);
        crystal.spaceGroup = symmetry.name;
        crystal.notes.insert(crystal.notes.begin(),
            symmetry.source.empty()
                ? "no symmetry in the file (no operators, space-group name "
                  "or number); taking the sites as they are (P 1)"
                : "space group " + symmetry.name + " (" + symmetry.source + ")");
    } catch (const InputError &) {
        throw;
    } catch (const std::exception &e) {
        throw InputError(firstLine(e.what()));
    }
    return crystal;
}

} // namespace atoms
