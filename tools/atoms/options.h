#ifndef ATOMS_OPTIONS_H
#define ATOMS_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

namespace atoms {

constexpr double defaultRadius = 6.0;
constexpr double defaultRmax = 5.0;
constexpr double largestRadius = 12.0;

// The command line: options in any order, "--name value" or "--name=value", and -c <input>.
struct Options
{
    std::string absorber;
    std::string edge;
    std::optional<double> radius;
    std::optional<double> rmax;
    std::string input;
    bool help = false;
};

// Throws InputError for unknown options, missing or bad values, or no -c.
Options parseOptions(const std::vector<std::string> &args);

// The input path if the arguments name one, for messages about a command line that failed.
std::string inputPathIn(const std::vector<std::string> &args);

std::string usageText();

} // namespace atoms

#endif
