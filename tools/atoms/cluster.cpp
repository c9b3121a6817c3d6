#include "cluster.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace atoms {

static long long rounded(double x) { return std::llround(x * 1e5); }

// Atoms related by symmetry come out of different sums and differ in the last bits; on a
// 1e-10 A grid they are equal, so that no rounding to the printed 1e-5 A can tell them apart.
double onClusterGrid(double x) { return std::round(x * 1e10) / 1e10; }

Vec3 onClusterGrid(const Vec3 &xyz)
{
    return { onClusterGrid(xyz[0]), onClusterGrid(xyz[1]), onClusterGrid(xyz[2]) };
}

// By distance, then x, y, z, all at the printed 1e-5 A.
static bool closerFirst(const ClusterAtom &p, const ClusterAtom &q)
{
    return std::make_tuple(
               rounded(p.distance), rounded(p.xyz[0]), rounded(p.xyz[1]), rounded(p.xyz[2]))
        < std::make_tuple(
            rounded(q.distance), rounded(q.xyz[0]), rounded(q.xyz[1]), rounded(q.xyz[2]));
}

void sortCluster(std::vector<ClusterAtom> &cluster)
{
    if (!cluster.empty())
        std::sort(cluster.begin() + 1, cluster.end(), closerFirst);
}

ClusterCutter::ClusterCutter(const Cell &cell, const std::vector<CellAtom> &atoms)
    : axes(cell.axes())
    , cellAtoms(atoms)
    , grid(cell, binWidth(cell, atoms.size()))
{
    for (std::size_t index = 0; index < atoms.size(); ++index)
        grid.insert(static_cast<int>(index), atoms[index].frac);
}

// About one atom per bin: a cluster's search then looks at a few hundred bins and atoms.
// The atoms of a filled cell lie at least 0.5 A apart, so that no bin holds many more.
double ClusterCutter::binWidth(const Cell &cell, std::size_t count)
{
    return std::max(1.0, std::cbrt(cell.volume() / std::max<std::size_t>(1, count)));
}

std::vector<ClusterAtom> ClusterCutter::cut(int centre, double radius) const
{
    const Vec3 origin = Cell::toCartesian(cellAtoms[centre].frac, axes);
    struct Found
    {
        int index;
        Vec3 translation;
        ClusterAtom atom;
    };
    std::vector<Found> found;
    // A margin over the radius: the search may find more, never less, than the cut keeps.
    grid.forEachImage(cellAtoms[centre].frac, radius + 1e-6, [&](int index, const Vec3 &t) {
        const Vec3 &f = cellAtoms[index].frac;
        const Vec3 xyz = onClusterGrid(
            Cell::toCartesian({ f[0] + t[0], f[1] + t[1], f[2] + t[2] }, axes) - origin);
        const double distance = onClusterGrid(length(xyz));
        if (distance > radius + 1e-9)
            return;
        const bool isCentre = index == centre && t == Vec3 { 0, 0, 0 };
        found.push_back(
            { index, t, { cellAtoms[index].site, xyz, isCentre ? -1.0 : distance, index } });
    });
    // In the order of atoms and translations, so that the sort below meets its input as it
    // always has and orders atoms at one printed position alike.
    std::sort(found.begin(), found.end(), [](const Found &p, const Found &q) {
        return std::tie(p.index, p.translation) < std::tie(q.index, q.translation);
    });
    std::vector<ClusterAtom> cluster;
    cluster.reserve(found.size());
    for (const Found &f : found)
        cluster.push_back(f.atom);
    std::sort(cluster.begin(), cluster.end(), closerFirst);
    cluster.front().distance = 0;
    cluster.front().xyz = { 0, 0, 0 };
    return cluster;
}

std::vector<ClusterAtom> buildCluster(
    const Cell &cell, const std::vector<CellAtom> &atoms, int centre, double radius)
{
    return ClusterCutter(cell, atoms).cut(centre, radius);
}

} // namespace atoms
