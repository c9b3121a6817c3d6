#include "crystal.h"

#include "textutil.h"

#include <algorithm>
#include <cmath>

namespace atoms {

const double degree = std::acos(-1.0) / 180;

static double cosDegrees(double angle) { return std::cos(angle * degree); }

Vec3 operator-(const Vec3 &u, const Vec3 &v) { return { u[0] - v[0], u[1] - v[1], u[2] - v[2] }; }

Vec3 operator+(const Vec3 &u, const Vec3 &v) { return { u[0] + v[0], u[1] + v[1], u[2] + v[2] }; }

double dot(const Vec3 &u, const Vec3 &v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; }

double length(const Vec3 &v) { return std::sqrt(dot(v, v)); }

Vec3 cross(const Vec3 &u, const Vec3 &v)
{
    return { u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0] };
}

// Atoms nearer than this to each other are refused as well (MergeRules::tooClose).
constexpr double minPlaneSpacing = 0.5;

std::string Cell::problem() const
{
    for (double side : { a, b, c })
        if (!std::isfinite(side) || side <= 0)
            return "cell length " + shortNumber(side) + " is not positive";
    for (double angle : { alpha, beta, gamma })
        if (!std::isfinite(angle) || angle <= 0 || angle >= 180)
            return "cell angle " + shortNumber(angle) + " is not between 0 and 180 degrees";
    const double ca = cosDegrees(alpha), cb = cosDegrees(beta), cg = cosDegrees(gamma);
    if (1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg < 1e-6)
        return "cell angles " + shortNumber(alpha) + ", " + shortNumber(beta) + ", "
            + shortNumber(gamma) + " do not make a three-dimensional cell";
    // Closer lattice planes put atoms nearer to their own images than atoms can be, and
    // would make a cluster search walk through millions of cells.
    const Vec3 spacings = planeSpacings();
    const double thinnest = std::min({ spacings[0], spacings[1], spacings[2] });
    if (!(thinnest >= minPlaneSpacing))
        return "the cell's lattice planes lie " + shortNumber(thinnest) + " A apart, less than "
            + shortNumber(minPlaneSpacing) + " A";
    return std::string();
}

std::array<Vec3, 3> Cell::axes() const
{
    const double ca = cosDegrees(alpha), cb = cosDegrees(beta), cg = cosDegrees(gamma);
    const double sg = std::sin(gamma * degree);
    const double cy = (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(0.0, 1 - cb * cb - cy * cy));
    return { Vec3 { a, 0, 0 }, Vec3 { b * cg, b * sg, 0 }, Vec3 { c * cb, c * cy, c * cz } };
}

Vec3 Cell::toCartesian(const Vec3 &f) const
{
    return toCartesian(f, axes());
}

Vec3 Cell::toCartesian(const Vec3 &f, const std::array<Vec3, 3> &v)
{
    Vec3 out;
    for (int i = 0; i < 3; ++i)
        out[i] = f[0] * v[0][i] + f[1] * v[1][i] + f[2] * v[2][i];
    return out;
}

double Cell::volume() const
{
    const auto v = axes();
    return dot(v[0], cross(v[1], v[2]));
}

Vec3 Cell::planeSpacings() const
{
    const auto v = axes();
    const double vol = volume();
    return { vol / length(cross(v[1], v[2])), vol / length(cross(v[2], v[0])),
        vol / length(cross(v[0], v[1])) };
}

std::string Cell::text() const
{
    return "a=" + shortNumber(a) + " b=" + shortNumber(b) + " c=" + shortNumber(c) + " alpha="
        + shortNumber(alpha) + " beta=" + shortNumber(beta) + " gamma=" + shortNumber(gamma);
}

Vec3 SymOp::apply(const Vec3 &f) const
{
    Vec3 out;
    for (int i = 0; i < 3; ++i)
        out[i] = rot[i][0] * f[0] + rot[i][1] * f[1] + rot[i][2] * f[2] + trans[i];
    return out;
}

} // namespace atoms
