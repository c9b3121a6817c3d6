#include "symmetry.h"

#include "textutil.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>

namespace atoms {

// Reads one coordinate expression such as "-x+y", "1/2+z", "x-0.25" or "2*x" into a row.
static bool parseExpression(const std::string &text, Vec3 &row, double &shift)
{
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
    };
    auto axisAt = [&](std::size_t at) {
        if (at >= text.size())
            return -1;
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
        return c >= 'x' && c <= 'z' ? c - 'x' : -1;
    };
    bool anyTerm = false;
    skipBlanks();
    while (pos < text.size()) {
        double sign = 1;
        if (text[pos] == '+' || text[pos] == '-') {
            sign = text[pos] == '-' ? -1 : 1;
            ++pos;
            skipBlanks();
        } else if (anyTerm) {
            return false;
        }
        if (const int axis = axisAt(pos); axis >= 0) {
            row[axis] += sign;
            ++pos;
        } else {
            const std::size_t start = pos;
            while (pos < text.size()
                && (std::isdigit(static_cast<unsigned char>(text[pos])) || text[pos] == '.'
                    || text[pos] == '/'))
                ++pos;
            const auto number = parseNumber(text.substr(start, pos - start));
            if (!number)
                return false;
            skipBlanks();
            if (pos < text.size() && text[pos] == '*') {
                ++pos;
                skipBlanks();
            }
            if (const int factorOf = axisAt(pos); factorOf >= 0) {
                row[factorOf] += sign * *number;
                ++pos;
            } else {
                shift += sign * *number;
            }
        }
        anyTerm = true;
        skipBlanks();
    }
    return anyTerm;
}

static double determinant(const std::array<Vec3, 3> &m) { return dot(m[0], cross(m[1], m[2])); }

struct ImageCandidate
{
    int site;
    Vec3 frac;
    double occupancy;
};

static std::string keptBecause(const Site &lost, const Site &kept)
{
    return std::min(1.0, kept.occupancy) > std::min(1.0, lost.occupancy)
        ? "keeping " + kept.label + ", the one with the larger occupancy"
        : "keeping " + kept.label + ", listed first";
}

std::optional<SymOp> parseSymop(const std::string &text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() != 3)
        return std::nullopt;
    SymOp op;
    for (int i = 0; i < 3; ++i) {
        op.rot[i] = { 0, 0, 0 };
        op.trans[i] = 0;
        if (!parseExpression(parts[i], op.rot[i], op.trans[i]))
            return std::nullopt;
    }
    if (std::fabs(std::fabs(determinant(op.rot)) - 1) > 1e-6)
        return std::nullopt;
    return op;
}

double wrapFraction(double x)
{
    x -= std::floor(x);
    if (x > 1 - 1e-6)
        x = 0;
    return x;
}

double periodicDistance(const Cell &cell, const Vec3 &f1, const Vec3 &f2)
{
    const auto axes = cell.axes();
    Vec3 d = f2 - f1;
    for (double &x : d)
        x -= std::round(x);
    double best = std::numeric_limits<double>::max();
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j)
            for (int k = -1; k <= 1; ++k) {
                const Vec3 f { d[0] + i, d[1] + j, d[2] + k };
                Vec3 r;
                for (int n = 0; n < 3; ++n)
                    r[n] = f[0] * axes[0][n] + f[1] * axes[1][n] + f[2] * axes[2][n];
                best = std::min(best, length(r));
            }
    return best;
}

FilledCell fillUnitCell(const Crystal &crystal, const MergeRules &rules)
{
    const std::vector<SymOp> ops
        = crystal.ops.empty() ? std::vector<SymOp> { SymOp() } : crystal.ops;
    const Cell &cell = crystal.cell;
    const Vec3 spacings = cell.planeSpacings();
    const int siteCount = static_cast<int>(crystal.sites.size());

    // A cheap lower bound on the distance rules out most pairs before the exact search.
    auto near = [&](const Vec3 &f1, const Vec3 &f2, double limit, double &distance) {
        for (int i = 0; i < 3; ++i) {
            double d = f2[i] - f1[i];
            d -= std::round(d);
            if (std::fabs(d) * spacings[i] >= limit)
                return false;
        }
        distance = periodicDistance(cell, f1, f2);
        return distance < limit;
    };

    std::vector<ImageCandidate> candidates;
    for (int s = 0; s < siteCount; ++s) {
        const Site &site = crystal.sites[s];
        const std::size_t first = candidates.size();
        for (const SymOp &op : ops) {
            Vec3 f = op.apply(site.frac);
            for (double &x : f)
                x = wrapFraction(x);
            double distance = 0;
            const bool seen = std::any_of(
                candidates.begin() + first, candidates.end(), [&](const ImageCandidate &other) {
                    return near(other.frac, f, rules.samePosition, distance);
                });
            if (!seen)
                candidates.push_back({ s, f, std::min(1.0, site.occupancy) });
        }
    }

    // Larger occupancy first; stable, so that among equals the file order decides.
    std::vector<std::size_t> order(candidates.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
        return candidates[i].occupancy > candidates[j].occupancy;
    });

    const double full = 1 - 1e-6;
    std::vector<std::size_t> accepted;
    // The candidate that took the place of each site's first lost image.
    std::vector<int> displacedBy(siteCount, -1);
    // (site that lost images, site that kept the position) -> distance
    std::map<std::pair<int, int>, double> shared;
    std::map<std::pair<int, int>, double> alternatives;
    int repeats = 0;
    for (std::size_t index : order) {
        const ImageCandidate &c = candidates[index];
        std::size_t closest = 0;
        double closestDistance = std::numeric_limits<double>::max();
        for (std::size_t k : accepted) {
            double distance = 0;
            if (near(candidates[k].frac, c.frac, rules.tooClose, distance)
                && distance < closestDistance) {
                closest = k;
                closestDistance = distance;
            }
        }
        if (closestDistance == std::numeric_limits<double>::max()) {
            accepted.push_back(index);
            continue;
        }
        const ImageCandidate &keeper = candidates[closest];
        const Site &keeperSite = crystal.sites[keeper.site];
        const Site &site = crystal.sites[c.site];
        const bool bothFull = c.occupancy > full && keeper.occupancy > full;
        if (closestDistance < rules.samePosition && bothFull && site.z == keeperSite.z)
            ++repeats;
        else if (closestDistance < rules.samePosition)
            shared.emplace(std::make_pair(c.site, keeper.site), closestDistance);
        else if (!bothFull)
            alternatives.emplace(std::make_pair(c.site, keeper.site), closestDistance);
        else
            throw InputError("atoms too close: " + keeperSite.label + " and " + site.label
                + (keeper.site == c.site ? " (a symmetry copy)" : "") + " are "
                + fixed(closestDistance, 3) + " A apart (less than " + shortNumber(rules.tooClose)
                + " A)");
        if (displacedBy[c.site] < 0)
            displacedBy[c.site] = static_cast<int>(closest);
    }
    std::sort(accepted.begin(), accepted.end());

    FilledCell filled;
    filled.replacedBy.assign(siteCount, -1);
    std::vector<bool> present(siteCount, false);
    for (std::size_t index : accepted) {
        filled.atoms.push_back({ candidates[index].site, candidates[index].frac });
        present[candidates[index].site] = true;
    }
    for (int s = 0; s < siteCount; ++s) {
        if (present[s] || displacedBy[s] < 0)
            continue;
        const auto at = std::lower_bound(
            accepted.begin(), accepted.end(), static_cast<std::size_t>(displacedBy[s]));
        filled.replacedBy[s] = static_cast<int>(at - accepted.begin());
    }

    for (const auto &[sites, distance] : shared) {
        const Site &lost = crystal.sites[sites.first];
        const Site &kept = crystal.sites[sites.second];
        filled.notes.push_back(lost.label + " (occupancy " + shortNumber(lost.occupancy)
            + ") shares its position with " + kept.label + " (occupancy "
            + shortNumber(kept.occupancy) + "); " + keptBecause(lost, kept));
    }
    for (const auto &[sites, distance] : alternatives) {
        const Site &lost = crystal.sites[sites.first];
        const Site &kept = crystal.sites[sites.second];
        filled.notes.push_back(lost.label + " (occupancy " + shortNumber(lost.occupancy) + ") is "
            + fixed(distance, 3) + " A from " + kept.label + " (occupancy "
            + shortNumber(kept.occupancy) + "), alternative positions of a disordered site; "
            + keptBecause(lost, kept));
    }
    if (repeats > 0)
        filled.notes.push_back("merged " + std::to_string(repeats)
            + (repeats == 1 ? " atom" : " atoms")
            + " that another site already put at the same position");
    return filled;
}

} // namespace atoms
