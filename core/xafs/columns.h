#ifndef XAFS_COLUMNS_H
#define XAFS_COLUMNS_H

// What the readers of measured spectra share and the library does not show: a table's
// columns as its header names them, and which of them make the spectrum.
#include "measured.h"

#include <string>
#include <vector>

namespace xafs::table {

inline Error fail(const std::string &name, long line, std::string reason)
{
    return Error { name, line, std::move(reason) };
}

struct Layout
{
    std::vector<std::string> labels; // as written; empty entries for unnamed columns
    std::vector<double> scale; // factor of each column's values (keV -> eV)
    bool xdi = false;
};

std::string columnName(const Layout &layout, int index);

struct Picked
{
    int x = 0;
    int numerator = 1;
    int denominator = -1;
    bool log = false;
    Spectrum::Kind kind = Spectrum::Kind::Mu;
};

// The columns of the spectrum: the choice, else each format's default (measured.h).
Outcome<Picked> pickColumns(const ColumnChoice &choice, const Layout &layout, std::size_t columns,
    const std::string &name, long line);

// What y is, in the file's terms: "ln(i0/itrans)", "mutrans".
std::string describe(const Picked &picked, const Layout &layout);

} // namespace xafs::table

#endif
