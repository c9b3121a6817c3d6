#ifndef XAFS_MEASURED_H
#define XAFS_MEASURED_H

#include "outcome.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xafs {

// Which columns make a spectrum, as Athena's column dialog chooses them: the abscissa, a
// numerator, an optional denominator and an optional natural log, each column by its
// number (1-based) or its name in the file's header ("1,3/4,ln", "energy,i0/itrans,ln").
struct ColumnChoice
{
    std::string abscissa;
    std::string numerator;
    std::string denominator;
    bool log = false;

    bool empty() const { return abscissa.empty(); }
};

// The text of the -columns option as a choice, or a message naming what is wrong with it.
Outcome<ColumnChoice> parseColumnChoice(std::string_view text);

struct ReadOptions
{
    ColumnChoice columns; // empty: each format's default
    std::string group; // the label of an Athena project's group; empty: the first of mu or chi
};

// A measured spectrum as read: mu(E) (x in eV) or chi(k) (x in 1/A), x strictly increasing.
struct Spectrum
{
    enum class Kind { Mu, Chi };

    Kind kind = Kind::Mu;
    std::vector<double> x;
    std::vector<double> y;
    std::string format; // "XDI", "columns", "Athena project"
    std::string columns; // what y is, in the file's terms: "ln(i0/itrans)", "mutrans"
    std::string element; // from an XDI header, when it names one
    std::string edge;
    std::vector<std::string> groups; // an Athena project's group labels, in file order
    std::string group; // the group read
    bool reordered = false; // the points were not in increasing order
    int merged = 0; // points merged into another of exactly the same abscissa
};

// Bounds that keep any input's cost in proportion: a measured spectrum has thousands of
// points, a project a few megabytes.
constexpr std::size_t maxPoints = 2000000;
constexpr std::size_t maxFileBytes = std::size_t(256) << 20;
constexpr std::size_t maxUnpackedBytes = std::size_t(64) << 20;

// Reads a measured spectrum from the bytes of a file, choosing the reader from the content:
// a gzip stream is unpacked first, then an Athena project ("Athena project file --" near
// the start), XDI ("# XDI/" on the first line), or else columns of numbers. name is the
// file's name for messages and for its extension. Never throws; an input that is not a
// spectrum is an Error with the line where one applies.
Outcome<Spectrum> readMeasured(
    std::string_view bytes, const std::string &name, const ReadOptions &options = ReadOptions());

// The same from a file; "FILE.prj#LABEL" names a project's group when options.group is
// empty. A file beyond maxFileBytes is refused before it is read.
Outcome<Spectrum> readMeasuredFile(const std::string &path, const ReadOptions &options);

// Each reader on its own, for callers that know the format.
//
// Columns: comment lines start with # ; % ! or *; the header is every line before the
// first row of numbers (blank, tab or comma separated; E or D exponents), and its last
// line with letters or digits names the columns when it has one word per column. Without
// a choice the abscissa is the first column and y the column named mu, xmu, mutrans or
// mufluor, else the second. The spectrum is chi(k) when the abscissa is named k (or, with
// no names, the file name ends in .chi or .chik), and y then the column named chi or
// chi(k), else the second.
// XDI: the columns as "# Column.N: name [units]" names them (energy in keV is scaled to
// eV), Element.symbol/edge or Scan.element/edge; without a choice the abscissa is the
// column named energy (or k), y the column mutrans, mufluor or mu, else ln(i0/itrans),
// else ifluor/i0.
// Athena project: the group labelled `group` (exactly, else ignoring case and blanks
// around it), by default the first that holds mu(E) or chi(k); its @x and @y as stored.
Outcome<Spectrum> readXdi(
    std::string_view text, const std::string &name, const ColumnChoice &columns = ColumnChoice());
Outcome<Spectrum> readColumns(
    std::string_view text, const std::string &name, const ColumnChoice &columns = ColumnChoice());
Outcome<Spectrum> readAthenaProject(
    std::string_view bytes, const std::string &name, const std::string &group = std::string());

// "dir/FILE.prj#LABEL" -> {"dir/FILE.prj", "LABEL"}; anything else -> {path, ""}.
std::pair<std::string, std::string> splitProjectPath(const std::string &path);

// Sorts points by x (stably) and merges points of exactly equal x into their mean;
// returns the number of points merged away.
int sortAndMerge(std::vector<double> &x, std::vector<double> &y, bool *reordered = nullptr);

} // namespace xafs

#endif
