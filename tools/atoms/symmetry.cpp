#include "symmetry.h"

#include "periodicgrid.h"
#include "textutil.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace atoms {

struct ImageCandidate
{
    int site;
    Vec3 frac;
    double occupancy;
    std::vector<Choice> choices;
};

// The shortest fractional step from one position to another, over lattice translations.
static Vec3 stepBetween(const Vec3 &from, const Vec3 &to)
{
    Vec3 d = to - from;
    for (double &x : d)
        x -= std::round(x);
    return d;
}

static std::string keptBecause(const Site &lost, const Site &kept)
{
    return std::min(1.0, kept.occupancy) > std::min(1.0, lost.occupancy)
        ? "keeping " + kept.label + ", the one with the larger occupancy"
        : "keeping " + kept.label + ", listed first";
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

// Whether two fractional positions are closer than a limit, and how close; a cheap lower bound
// on the distance rules out most pairs before the exact search.
struct Nearness
{
    const Cell &cell;
    Vec3 spacings;

    bool operator()(const Vec3 &f1, const Vec3 &f2, double limit, double &distance) const
    {
        for (int i = 0; i < 3; ++i) {
            double d = f2[i] - f1[i];
            d -= std::round(d);
            if (std::fabs(d) * spacings[i] >= limit)
                return false;
        }
        distance = periodicDistance(cell, f1, f2);
        return distance < limit;
    }
};

// Of the images of one partly occupied site, those all closer than limit to one another are
// alternatives of one atom: keeps the one nearest to their mean position (the first of equals).
static std::vector<ImageCandidate> oneOfEachSplitGroup(const std::vector<ImageCandidate> &images,
    const Nearness &near, double limit, PeriodicGrid &grid, const Site &site,
    std::vector<std::string> &notes)
{
    const std::size_t n = images.size();
    grid.clear();
    for (std::size_t i = 0; i < n; ++i)
        grid.insert(static_cast<int>(i), images[i].frac);
    std::vector<bool> grouped(n, false);
    std::vector<ImageCandidate> kept;
    std::size_t largest = 0;
    double distance = 0;
    std::vector<std::size_t> later;
    for (std::size_t i = 0; i < n; ++i) {
        if (grouped[i])
            continue;
        // Only images near i can join its group; they are tried in their order.
        later.clear();
        grid.forEachNear(images[i].frac, [&](int j) {
            if (static_cast<std::size_t>(j) > i && !grouped[j])
                later.push_back(j);
        });
        std::sort(later.begin(), later.end());
        std::vector<std::size_t> members { i };
        for (std::size_t j : later)
            if (std::all_of(members.begin(), members.end(), [&](std::size_t m) {
                    return near(images[m].frac, images[j].frac, limit, distance);
                })) {
                members.push_back(j);
                grouped[j] = true;
            }
        Vec3 centre { 0, 0, 0 };
        for (std::size_t m : members)
            for (int k = 0; k < 3; ++k) {
                double d = images[m].frac[k] - images[i].frac[k];
                centre[k] += (d - std::round(d)) / members.size();
            }
        centre = images[i].frac + centre;
        std::size_t best = i;
        double bestDistance = std::numeric_limits<double>::max();
        for (std::size_t m : members) {
            const double d = periodicDistance(near.cell, centre, images[m].frac);
            if (d < bestDistance - 1e-9) {
                best = m;
                bestDistance = d;
            }
        }
        ImageCandidate keeper = images[best];
        keeper.choices.clear();
        for (std::size_t m : members)
            keeper.choices.push_back(
                { images[m].site, stepBetween(keeper.frac, images[m].frac), images[m].occupancy });
        kept.push_back(keeper);
        largest = std::max(largest, members.size());
    }
    if (kept.size() < n)
        notes.push_back(site.label + " (occupancy " + shortNumber(site.occupancy)
            + ") is split: " + std::to_string(n - kept.size()) + " of its " + std::to_string(n)
            + " positions in the unit cell dropped, alternatives of one atom less than "
            + shortNumber(limit) + " A from one another (kept " + std::to_string(kept.size())
            + ", each the one nearest its group's centre; groups of up to "
            + std::to_string(largest) + ")");
    return kept;
}

// x as the nearest multiple of 1/n when it lies within tolerance of it, else x.
static double onGrid(double x, int n, double tolerance)
{
    const double k = std::round(x * n);
    return std::fabs(x - k / n) <= tolerance ? k / n : x;
}

// The sites' positions with coordinates near twelfths made exact, and a note if any were.
static std::vector<Vec3> snappedPositions(
    const std::vector<Site> &sites, double tolerance, std::vector<std::string> &notes)
{
    std::vector<Vec3> positions;
    std::vector<std::string> labels;
    int count = 0;
    for (const Site &site : sites) {
        Vec3 f = site.frac;
        bool changed = false;
        for (double &x : f) {
            const double exact = onGrid(x, 12, tolerance);
            if (exact != x) {
                x = exact;
                ++count;
                changed = true;
            }
        }
        if (changed)
            labels.push_back(site.label);
        positions.push_back(f);
    }
    if (count > 0)
        notes.push_back(std::to_string(count) + (count == 1 ? " coordinate" : " coordinates")
            + " of " + listed(labels) + " within " + shortNumber(tolerance)
            + " of a multiple of 1/12 (as 0.3333 of 1/3) taken as exactly that multiple");
    return positions;
}

FilledCell fillUnitCell(const Crystal &crystal, const MergeRules &rules)
{
    const std::vector<SymOp> ops
        = crystal.ops.empty() ? std::vector<SymOp> { SymOp() } : crystal.ops;
    const Cell &cell = crystal.cell;
    const int siteCount = static_cast<int>(crystal.sites.size());

    const Nearness near { cell, cell.planeSpacings() };

    FilledCell filled;
    std::vector<int> &multiplicity = filled.multiplicity;
    multiplicity.assign(siteCount, 0);
    const std::vector<Vec3> positions = snappedPositions(crystal.sites, rules.snap, filled.notes);
    const double full = 1 - 1e-6;
    std::vector<std::string> overfull;
    for (const Site &site : crystal.sites)
        if (site.occupancy > 1 + 1e-6)
            overfull.push_back(site.label + " (" + shortNumber(site.occupancy) + ")");
    if (!overfull.empty())
        filled.notes.push_back("occupancy above 1 taken as 1 for " + std::to_string(overfull.size())
            + (overfull.size() == 1 ? " site: " : " sites: ") + listed(overfull));
    std::vector<ImageCandidate> candidates;
    // A site's images, and its split groups, each found among its images alone.
    PeriodicGrid imageGrid(cell, rules.samePosition);
    PeriodicGrid splitGrid(cell, rules.splitSite);
    for (int s = 0; s < siteCount; ++s) {
        const Site &site = crystal.sites[s];
        std::vector<ImageCandidate> images;
        imageGrid.clear();
        for (const SymOp &op : ops) {
            Vec3 f = op.apply(positions[s]);
            // The operators' translations are multiples of 1/24: images of a special position
            // come out alike to the last bit, not only within rounding.
            for (double &x : f)
                x = wrapFraction(onGrid(x, 24, 1e-9));
            double distance = 0;
            bool seen = false;
            imageGrid.forEachNear(f, [&](int other) {
                seen = seen || near(images[other].frac, f, rules.samePosition, distance);
            });
            if (!seen) {
                const double occupancy = std::min(1.0, site.occupancy);
                imageGrid.insert(static_cast<int>(images.size()), f);
                images.push_back({ s, f, occupancy, { { s, { 0, 0, 0 }, occupancy } } });
            }
        }
        multiplicity[s] = static_cast<int>(images.size());
        if (site.occupancy < full)
            images
                = oneOfEachSplitGroup(images, near, rules.splitSite, splitGrid, site, filled.notes);
        candidates.insert(candidates.end(), images.begin(), images.end());
    }

    // Larger occupancy first; stable, so that among equals the file order decides.
    std::vector<std::size_t> order(candidates.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t i, std::size_t j) {
        return candidates[i].occupancy > candidates[j].occupancy;
    });

    std::vector<std::size_t> accepted;
    // The atoms accepted so far, by their place in accepted: no two closer than tooClose, so
    // that a bin holds a few of them however many candidates share a position.
    PeriodicGrid acceptedGrid(cell, rules.tooClose);
    // The candidate that took the place of each site's first lost image.
    std::vector<int> displacedBy(siteCount, -1);
    // (site that lost images, site that kept the position) -> distance
    std::map<std::pair<int, int>, double> shared;
    std::map<std::pair<int, int>, double> alternatives;
    int repeats = 0;
    for (std::size_t index : order) {
        const ImageCandidate &c = candidates[index];
        // The nearest accepted atom, the first accepted of equals.
        int closestOrder = -1;
        double closestDistance = std::numeric_limits<double>::max();
        acceptedGrid.forEachNear(c.frac, [&](int k) {
            double distance = 0;
            if (near(candidates[accepted[k]].frac, c.frac, rules.tooClose, distance)
                && (distance < closestDistance
                    || (distance == closestDistance && k < closestOrder))) {
                closestOrder = k;
                closestDistance = distance;
            }
        });
        if (closestOrder < 0) {
            acceptedGrid.insert(static_cast<int>(accepted.size()), c.frac);
            accepted.push_back(index);
            continue;
        }
        const std::size_t closest = accepted[closestOrder];
        ImageCandidate &keeper = candidates[closest];
        const Site &keeperSite = crystal.sites[keeper.site];
        const Site &site = crystal.sites[c.site];
        const bool bothFull = c.occupancy > full && keeper.occupancy > full;
        const bool repeat
            = closestDistance < rules.samePosition && bothFull && site.z == keeperSite.z;
        if (!repeat) {
            const Vec3 step = stepBetween(keeper.frac, c.frac);
            for (const Choice &choice : c.choices)
                keeper.choices.push_back({ choice.site, step + choice.offset, choice.probability });
        }
        if (repeat) {
            ++repeats;
            --multiplicity[c.site];
        } else if (closestDistance < rules.samePosition)
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

    filled.replacedBy.assign(siteCount, -1);
    std::vector<bool> present(siteCount, false);
    for (std::size_t index : accepted) {
        filled.atoms.push_back(
            { candidates[index].site, candidates[index].frac, candidates[index].choices });
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
