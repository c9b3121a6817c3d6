#include "pathhash.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <set>
#include <tuple>

namespace atoms {

namespace {

    // How far FEFF's value of a length, in units of 0.001 A, may lie from ours: it reads five
    // decimals and works in single precision.
    const double slack = 0.02;

    // The integers FEFF may round a length to (one, or two near a half).
    struct Rounded
    {
        long long low;
        long long high;

        explicit Rounded(double value)
            : low(std::llround(value - slack))
            , high(std::llround(value + slack))
        {
        }
        bool mayEqual(const Rounded &other) const { return low <= other.high && other.low <= high; }
    };

    // A path of two or three legs from the absorber through P to Q (and back through P) in FEFF's
    // frame: P on the z axis, Q in the xz plane; lengths in units of 0.001 A, FEFF's hash step.
    struct Leg
    {
        int elementP;
        Rounded zP;
        Rounded zQ;
        Rounded xQ;
        int elementQ;
    };

    // Paths through atoms of elements a and b share a key when the potential number of a less
    // that of b is step.
    struct Clash
    {
        int a;
        int b;
        long long step;

        bool operator<(const Clash &other) const
        {
            return std::tie(a, b, step) < std::tie(other.a, other.b, other.step);
        }
    };

    std::set<Clash> clashes(
        const std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites, double rmax)
    {
        std::vector<Leg> legs;
        for (std::size_t p = 1; p < cluster.size(); ++p) {
            const Vec3 &P = cluster[p].xyz;
            const double rp = length(P);
            for (std::size_t q = 1; q < cluster.size(); ++q) {
                if (q == p)
                    continue;
                const Vec3 &Q = cluster[q].xyz;
                const double rq = length(Q);
                const double d = length(P - Q);
                if (rp + d + rq > 2 * rmax + 0.01 && rp + d > rmax + 0.01)
                    continue;
                const double z = dot(P, Q) / rp;
                legs.push_back({ sites[cluster[p].site].z, Rounded(1000 * rp), Rounded(1000 * z),
                    Rounded(1000 * std::sqrt(std::max(0.0, rq * rq - z * z))),
                    sites[cluster[q].site].z });
            }
        }
        // Legs by element of P and the rounded lengths; a leg that may round two ways is filed
        // under each.
        struct Filed
        {
            int elementP;
            long long zP;
            long long zQ;
            std::size_t leg;
            bool operator<(const Filed &o) const
            {
                return std::tie(elementP, zP, zQ, leg) < std::tie(o.elementP, o.zP, o.zQ, o.leg);
            }
            bool sameBucket(const Filed &o) const
            {
                return elementP == o.elementP && zP == o.zP && zQ == o.zQ;
            }
        };
        std::vector<Filed> filed;
        for (std::size_t i = 0; i < legs.size(); ++i) {
            const Leg &leg = legs[i];
            for (long long zp = leg.zP.low; zp <= leg.zP.high; ++zp)
                for (long long zq = leg.zQ.low; zq <= leg.zQ.high; ++zq)
                    filed.push_back({ leg.elementP, zp, zq, i });
        }
        std::sort(filed.begin(), filed.end());
        std::set<Clash> found;
        for (std::size_t begin = 0, end = 0; begin < filed.size(); begin = end) {
            end = begin + 1;
            bool mixed = false;
            while (end < filed.size() && filed[end].sameBucket(filed[begin])) {
                mixed = mixed || legs[filed[end].leg].elementQ != legs[filed[begin].leg].elementQ;
                ++end;
            }
            if (!mixed)
                continue;
            for (std::size_t i = begin; i < end; ++i)
                for (std::size_t j = begin; j < end; ++j) {
                    const Leg &a = legs[filed[i].leg], &b = legs[filed[j].leg];
                    if (a.elementQ == b.elementQ)
                        continue;
                    // ix(a) + ipot(a) == ix(b) + ipot(b)
                    for (long long xa = a.xQ.low; xa <= a.xQ.high; ++xa)
                        for (long long xb = b.xQ.low; xb <= b.xQ.high; ++xb)
                            found.insert({ a.elementQ, b.elementQ, xb - xa });
                }
        }
        return found;
    }

} // namespace

PotentialOrder hashSafeOrder(
    const std::vector<ClusterAtom> &cluster, const std::vector<Site> &sites, double rmax)
{
    PotentialOrder order;
    for (std::size_t i = 1; i < cluster.size(); ++i) {
        const int z = sites[cluster[i].site].z;
        if (std::find(order.elements.begin(), order.elements.end(), z) == order.elements.end())
            order.elements.push_back(z);
    }
    const std::set<Clash> list = clashes(cluster, sites, rmax);
    if (list.empty())
        return order;

    // The clashes by the elements' places in the order, and each element's potential number.
    std::vector<std::array<long long, 3>> pairs;
    auto placeOf = [&](int z) {
        return std::find(order.elements.begin(), order.elements.end(), z) - order.elements.begin();
    };
    for (const Clash &clash : list)
        pairs.push_back({ placeOf(clash.a), placeOf(clash.b), clash.step });
    std::vector<long long> ipot(order.elements.size());
    std::iota(ipot.begin(), ipot.end(), 1);
    auto collides = [&](const std::array<long long, 3> &pair) {
        return ipot[pair[0]] - ipot[pair[1]] == pair[2];
    };
    for (const auto &pair : pairs)
        if (collides(pair)) {
            const std::pair<int, int> elements
                = std::minmax(order.elements[pair[0]], order.elements[pair[1]]);
            if (std::find(order.near.begin(), order.near.end(), elements) == order.near.end())
                order.near.push_back(elements);
        }
    if (order.near.empty())
        return order;

    // Every other numbering, in lexicographic order of the elements' potential numbers.
    while (std::next_permutation(ipot.begin(), ipot.end()))
        if (std::none_of(pairs.begin(), pairs.end(), collides)) {
            std::vector<int> elements(ipot.size());
            for (std::size_t i = 0; i < ipot.size(); ++i)
                elements[ipot[i] - 1] = order.elements[i];
            order.elements = elements;
            order.changed = true;
            return order;
        }
    order.unresolved = true;
    return order;
}

} // namespace atoms
