#ifndef ATOMS_PERIODICGRID_H
#define ATOMS_PERIODICGRID_H

#include "crystal.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace atoms {

// Points of a periodic cell sorted into bins (cell lists), so that the points near a position
// are found among a few bins instead of among all points: the neighbour searches of a cell of
// N atoms then take time linear in N. Only bins that hold points take memory.
class PeriodicGrid
{
public:
    // Bins whose opposite faces lie at least width Angstrom apart (fewer when the cell is
    // thinner than that along an axis).
    PeriodicGrid(const Cell &cell, double width);

    // Adds the point of the caller's number index; fractional coordinates in [0, 1).
    void insert(int index, const Vec3 &frac);
    // Removes every point, in time proportional to the points there were.
    void clear();

    // Calls visit(index) once for every point that may lie closer than the grid's width to
    // frac over lattice translations (a superset; the caller measures).
    template <typename Visit> void forEachNear(const Vec3 &frac, Visit &&visit) const
    {
        int bins[3][3];
        int counts[3];
        const Bin centre = binOf(frac);
        for (int axis = 0; axis < 3; ++axis) {
            counts[axis] = 0;
            for (int step = -1; step <= 1; ++step) {
                const int bin = wrapped(centre[axis] + step, n[axis]);
                bool seen = false;
                for (int k = 0; k < counts[axis]; ++k)
                    seen = seen || bins[axis][k] == bin;
                if (!seen)
                    bins[axis][counts[axis]++] = bin;
            }
        }
        for (int i = 0; i < counts[0]; ++i)
            for (int j = 0; j < counts[1]; ++j)
                for (int k = 0; k < counts[2]; ++k)
                    for (int at = head({ bins[0][i], bins[1][j], bins[2][k] }); at >= 0;
                         at = next[at])
                        visit(items[at]);
    }

    // Calls visit(index, translation) for every point and lattice translation (whole numbers
    // of cells) that may put the point within radius of frac (a superset; the caller
    // measures). Each pair comes once.
    template <typename Visit>
    void forEachImage(const Vec3 &frac, double radius, Visit &&visit) const
    {
        long long low[3], high[3];
        for (int axis = 0; axis < 3; ++axis) {
            const double reach = radius / spacings[axis];
            low[axis] = static_cast<long long>(std::floor((frac[axis] - reach) * n[axis]));
            high[axis] = static_cast<long long>(std::floor((frac[axis] + reach) * n[axis]));
        }
        for (long long i = low[0]; i <= high[0]; ++i)
            for (long long j = low[1]; j <= high[1]; ++j)
                for (long long k = low[2]; k <= high[2]; ++k) {
                    const long long e[3] = { i, j, k };
                    Bin bin;
                    Vec3 translation;
                    for (int axis = 0; axis < 3; ++axis) {
                        const long long turns = floorDivide(e[axis], n[axis]);
                        bin[axis] = static_cast<int>(e[axis] - turns * n[axis]);
                        translation[axis] = static_cast<double>(turns);
                    }
                    for (int at = head(bin); at >= 0; at = next[at])
                        visit(items[at], translation);
                }
    }

private:
    using Bin = std::array<int, 3>;

    Bin binOf(const Vec3 &frac) const;
    int head(const Bin &bin) const;
    std::uint64_t keyOf(const Bin &bin) const;
    std::size_t slotOf(std::uint64_t key) const;
    void grow();

    static int wrapped(int bin, int count) { return ((bin % count) + count) % count; }
    static long long floorDivide(long long a, long long b)
    {
        const long long q = a / b;
        return q * b > a ? q - 1 : q;
    }

    Vec3 spacings;
    int n[3];
    // Open addressing: the key of each slot's bin (or empty) and the first point in it.
    std::vector<std::uint64_t> keys;
    std::vector<int> heads;
    std::vector<std::size_t> usedSlots;
    // Per point in order of insertion: the caller's number and the next point of its bin.
    std::vector<int> items;
    std::vector<int> next;
};

} // namespace atoms

#endif
