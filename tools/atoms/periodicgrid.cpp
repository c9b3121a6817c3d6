#include "periodicgrid.h"

#include <algorithm>
#include <limits>

namespace atoms {

static const std::uint64_t emptySlot = std::numeric_limits<std::uint64_t>::max();
// Bins per axis at most: three such numbers make one 64-bit key.
static const double mostBins = 1 << 20;

PeriodicGrid::PeriodicGrid(const Cell &cell, double width)
    : spacings(cell.planeSpacings())
{
    for (int axis = 0; axis < 3; ++axis) {
        const double count = std::floor(spacings[axis] / width);
        n[axis] = static_cast<int>(std::isfinite(count) ? std::clamp(count, 1.0, mostBins) : 1.0);
    }
    keys.assign(64, emptySlot);
    heads.assign(64, -1);
}

PeriodicGrid::Bin PeriodicGrid::binOf(const Vec3 &frac) const
{
    Bin bin;
    for (int axis = 0; axis < 3; ++axis) {
        const double at = std::floor(frac[axis] * n[axis]);
        bin[axis] = at >= n[axis] ? n[axis] - 1 : (at >= 0 ? static_cast<int>(at) : 0);
    }
    return bin;
}

std::uint64_t PeriodicGrid::keyOf(const Bin &bin) const
{
    return (std::uint64_t(bin[0]) * std::uint64_t(n[1]) + std::uint64_t(bin[1]))
        * std::uint64_t(n[2])
        + std::uint64_t(bin[2]);
}

// The slot holding key, or the empty slot where it would go.
std::size_t PeriodicGrid::slotOf(std::uint64_t key) const
{
    std::uint64_t h = key + 0x9E3779B97F4A7C15ULL;
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBULL;
    h ^= h >> 31;
    const std::size_t mask = keys.size() - 1;
    for (std::size_t slot = h & mask;; slot = (slot + 1) & mask)
        if (keys[slot] == key || keys[slot] == emptySlot)
            return slot;
}

int PeriodicGrid::head(const Bin &bin) const
{
    const std::size_t slot = slotOf(keyOf(bin));
    return keys[slot] == emptySlot ? -1 : heads[slot];
}

void PeriodicGrid::grow()
{
    std::vector<std::uint64_t> oldKeys(keys.size() * 2, emptySlot);
    std::vector<int> oldHeads(heads.size() * 2, -1);
    oldKeys.swap(keys);
    oldHeads.swap(heads);
    for (std::size_t &slot : usedSlots) {
        const std::size_t to = slotOf(oldKeys[slot]);
        keys[to] = oldKeys[slot];
        heads[to] = oldHeads[slot];
        slot = to;
    }
}

void PeriodicGrid::insert(int index, const Vec3 &frac)
{
    if (2 * (usedSlots.size() + 1) > keys.size())
        grow();
    const std::uint64_t key = keyOf(binOf(frac));
    const std::size_t slot = slotOf(key);
    if (keys[slot] == emptySlot) {
        keys[slot] = key;
        usedSlots.push_back(slot);
    }
    items.push_back(index);
    next.push_back(heads[slot]);
    heads[slot] = static_cast<int>(items.size()) - 1;
}

void PeriodicGrid::clear()
{
    for (std::size_t slot : usedSlots) {
        keys[slot] = emptySlot;
        heads[slot] = -1;
    }
    usedSlots.clear();
    items.clear();
    next.clear();
}

} // namespace atoms
