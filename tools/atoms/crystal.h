#ifndef ATOMS_CRYSTAL_H
#define ATOMS_CRYSTAL_H

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace atoms {

using Vec3 = std::array<double, 3>;

// A fault in the input or the command line; its text is the cause, without the file name.
class InputError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Lattice constants in Angstrom and degrees; Cartesian axes follow the usual convention,
// a along x and b in the xy plane.
struct Cell
{
    double a = 0;
    double b = 0;
    double c = 0;
    double alpha = 90;
    double beta = 90;
    double gamma = 90;

    // Why the cell cannot be used, or empty if it can.
    std::string problem() const;
    Vec3 toCartesian(const Vec3 &frac) const;
    // The same with the cell's axes computed once by the caller.
    static Vec3 toCartesian(const Vec3 &frac, const std::array<Vec3, 3> &axes);
    // The Cartesian vectors a, b, c.
    std::array<Vec3, 3> axes() const;
    double volume() const;
    // Spacing of the lattice planes spanned by the other two axes, per axis.
    Vec3 planeSpacings() const;
    std::string text() const;
};

// One atom site as the input lists it.
struct Site
{
    std::string label;
    int z = 0;
    Vec3 frac { 0, 0, 0 };
    double occupancy = 1;
};

// A symmetry operation on fractional coordinates: rot * x + trans.
struct SymOp
{
    std::array<Vec3, 3> rot { { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } } };
    Vec3 trans { 0, 0, 0 };

    Vec3 apply(const Vec3 &frac) const;
};

// Everything read from one input file, before symmetry expansion.
struct Crystal
{
    std::string format;
    std::string name;
    std::vector<std::string> titles;
    std::string formula;
    std::string spaceGroup;
    Cell cell;
    std::vector<Site> sites;
    // Empty means P 1.
    std::vector<SymOp> ops;
    // What the reader found worth telling the user (symmetry source, fallbacks, ignored input).
    std::vector<std::string> notes;
    // Settings an Atoms keyword file may carry; empty or 0 when it does not.
    std::string core;
    std::string edge;
    double rmax = 0;
};

Vec3 operator-(const Vec3 &u, const Vec3 &v);
Vec3 operator+(const Vec3 &u, const Vec3 &v);
double length(const Vec3 &v);
Vec3 cross(const Vec3 &u, const Vec3 &v);
double dot(const Vec3 &u, const Vec3 &v);

} // namespace atoms

#endif
