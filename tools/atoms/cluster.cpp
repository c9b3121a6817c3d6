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

std::vector<ClusterAtom> buildCluster(
    const Cell &cell, const std::vector<CellAtom> &atoms, int centre, double radius)
{
    const Vec3 spacings = cell.planeSpacings();
    // Both positions lie in [0, 1), so along each axis no atom within the radius is more than
    // radius / spacing + 1 cells away, whatever the cell's shape.
    int reach[3];
    for (int i = 0; i < 3; ++i)
        reach[i] = static_cast<int>(std::floor(radius / spacings[i])) + 1;

    const auto axes = cell.axes();
    const Vec3 origin = Cell::toCartesian(atoms[centre].frac, axes);
    std::vector<ClusterAtom> cluster;
    for (std::size_t index = 0; index < atoms.size(); ++index) {
        const Vec3 &f = atoms[index].frac;
        for (int i = -reach[0]; i <= reach[0]; ++i)
            for (int j = -reach[1]; j <= reach[1]; ++j)
                for (int k = -reach[2]; k <= reach[2]; ++k) {
                    const Vec3 xyz = onClusterGrid(
                        Cell::toCartesian({ f[0] + i, f[1] + j, f[2] + k }, axes) - origin);
                    const double distance = onClusterGrid(length(xyz));
                    if (distance > radius + 1e-9)
                        continue;
                    const bool isCentre
                        = static_cast<int>(index) == centre && i == 0 && j == 0 && k == 0;
                    cluster.push_back({ atoms[index].site, xyz, isCentre ? -1.0 : distance,
                        static_cast<int>(index) });
                }
    }
    std::sort(cluster.begin(), cluster.end(), closerFirst);
    cluster.front().distance = 0;
    cluster.front().xyz = { 0, 0, 0 };
    return cluster;
}

} // namespace atoms
