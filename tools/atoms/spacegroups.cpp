#include "spacegroups.h"

#include "textutil.h"

#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <cmath>

namespace atoms {

// Identity first, as gemmi keeps it first in both lists.
static std::vector<SymOp> opsOf(const gemmi::GroupOps &groupOps)
{
    std::vector<SymOp> ops;
    for (const gemmi::Op::Tran &centring : groupOps.cen_ops)
        for (const gemmi::Op &op : groupOps.sym_ops) {
            SymOp out;
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j)
                    out.rot[i][j] = double(op.rot[i][j]) / gemmi::Op::DEN;
                out.trans[i] = double(op.tran[i] + centring[i]) / gemmi::Op::DEN;
            }
            ops.push_back(out);
        }
    return ops;
}

static SpaceGroup fromGemmi(const gemmi::SpaceGroup &group)
{
    return { group.xhm(), opsOf(group.operations()), std::string() };
}

std::optional<SpaceGroup> findSpaceGroup(const std::string &name, double alpha, double gamma)
{
    std::string text;
    for (char c : trimmed(name))
        if (c != '_' && c != '\'' && c != '"')
            text += c;
    if (text.empty())
        return std::nullopt;
    // gemmi reads one character after ':' and ignores the rest; "F d -3 m :2 a 5" is no name.
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        const std::string setting = toLower(trimmed(text.substr(colon + 1)));
        if (setting != "1" && setting != "2" && setting != "h" && setting != "r")
            return std::nullopt;
    }
    const gemmi::SpaceGroup *group = gemmi::find_spacegroup_by_name(text, alpha, gamma);
    if (!group) {
        // Before 1983 the bar over the 3 of cubic groups was not written: Fm3m for Fm-3m.
        std::string compact;
        for (char c : text)
            if (c != ' ')
                compact += c;
        if (compact.size() >= 3 && std::string("mnadMNAD").find(compact[1]) != std::string::npos
            && compact[2] == '3') {
            compact.insert(2, "-");
            group = gemmi::find_spacegroup_by_name(compact, alpha, gamma);
        }
    }
    if (!group)
        return std::nullopt;
    SpaceGroup result = fromGemmi(*group);
    const bool explicitChoice = text.find(':') != std::string::npos;
    if (!explicitChoice && (group->ext == '1' || group->ext == '2'))
        result.note = result.name + ": '" + asciiLine(name, 30)
            + "' has two origin choices; using origin choice " + group->ext
            + " (write ':1' or ':2' after the name to choose)";
    else if (!explicitChoice && (group->ext == 'H' || group->ext == 'R'))
        result.note = result.name + ": taking " + (group->ext == 'H' ? "hexagonal" : "rhombohedral")
            + " axes from the cell angles";
    return result;
}

std::optional<SpaceGroup> findSpaceGroupByNumber(int number)
{
    if (number < 1 || number > 230)
        return std::nullopt;
    const gemmi::SpaceGroup *group = gemmi::find_spacegroup_by_number(number);
    if (!group)
        return std::nullopt;
    SpaceGroup result = fromGemmi(*group);
    if (group->ext == '1' || group->ext == '2' || group->ext == 'H')
        result.note = result.name + ": taking the standard setting for space group number "
            + std::to_string(number);
    return result;
}

// gemmi puts a screw subscript on the rotation's principal axis and reads outside its
// arrays when the rotation has none (a diagonal axis, or a 1-fold rotation after the
// first place). No Hall symbol of a space group has such a part, so the symbol is refused
// before gemmi sees it.
static bool screwWithoutPrincipalAxis(const std::string &hall)
{
    const char *blanks = " \t_";
    std::size_t at = hall.find_first_not_of(blanks);
    if (at != std::string::npos && hall[at] == '-')
        at = hall.find_first_not_of(blanks, at + 1);
    if (at == std::string::npos)
        return false;
    int position = 0;
    int previous = 0;
    for (std::size_t start = hall.find_first_not_of(blanks, at + 1);
         start != std::string::npos && hall[start] != '(';
         start = hall.find_first_not_of(blanks, start)) {
        const std::size_t end = std::min(hall.find_first_of(blanks, start), hall.size());
        const std::string part = hall.substr(start, end - start);
        start = end;
        ++position;
        const std::size_t digit = part[0] == '-' ? 1 : 0;
        if (digit >= part.size() || part[digit] < '1' || part[digit] > '6')
            return false; // gemmi refuses it itself
        const int order = part[digit] - '0';
        bool principal = false, diagonal = false, screw = false;
        for (std::size_t i = digit + 1; i < part.size(); ++i) {
            const char c = part[i];
            principal = principal || c == 'x' || c == 'y' || c == 'z';
            diagonal = diagonal || c == '\'' || c == '"' || c == '*';
            screw = screw || (c >= '1' && c <= '5');
        }
        // gemmi's implied axes: z first, then x for a 2-fold after a 2- or 4-fold.
        if (!principal && !diagonal)
            principal = position == 1
                || (position == 2 && order == 2 && (previous == 2 || previous == 4));
        if (screw && !principal)
            return true;
        previous = order;
    }
    return false;
}

std::optional<SpaceGroup> findSpaceGroupByHall(const std::string &hall)
{
    if (screwWithoutPrincipalAxis(hall))
        return std::nullopt;
    try {
        const gemmi::GroupOps groupOps = gemmi::symops_from_hall(trimmed(hall).c_str());
        const gemmi::SpaceGroup *group = gemmi::find_spacegroup_by_ops(groupOps);
        SpaceGroup result;
        result.name = group ? group->xhm() : "Hall " + asciiLine(hall, 30);
        result.ops = opsOf(groupOps);
        return result;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

std::string nameOfOps(const std::vector<SymOp> &ops)
{
    std::vector<gemmi::Op> gemmiOps;
    for (const SymOp &op : ops) {
        gemmi::Op out;
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                out.rot[i][j] = static_cast<int>(std::lround(op.rot[i][j] * gemmi::Op::DEN));
            out.tran[i] = static_cast<int>(std::lround(op.trans[i] * gemmi::Op::DEN));
        }
        gemmiOps.push_back(out.wrap());
    }
    try {
        const gemmi::SpaceGroup *group
            = gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(gemmiOps));
        return group ? group->xhm() : std::string();
    } catch (const std::exception &) {
        return std::string();
    }
}

} // namespace atoms
