#include "surroundings.h"

#include "configuration.h"

#include <cmath>
#include <cstdint>
#include <functional>

namespace atoms {

std::size_t surroundingsHash(const std::vector<ClusterAtom> &cluster,
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

bool sameSurroundings(const std::vector<ClusterAtom> &a, const std::vector<ClusterAtom> &b,
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
} // namespace atoms
