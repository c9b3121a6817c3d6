#ifndef ATOMS_OPTIONS_H
#define ATOMS_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace atoms {

constexpr double defaultRadius = 6.0;
constexpr double defaultRmax = 5.0;
constexpr int maxConfigurations = 1000;

// The command line: options in any order, "--name value" or "--name=value", and -c <input>.
struct Options
{
    std::string absorber;
    std::string edge;
    std::optional<double> radius;
    std::optional<double> rmax;
    // The FEFF the input is for: 6 (FEFF 6L) or 8 (FEFF 8.5L).
    int feff = 6;
    // FEFF 8.5L's self-consistent potentials within this radius.
    std::optional<double> scf;
    // One input per inequivalent site of the absorber's element (--sites all).
    bool allSites = false;
    // Inputs with disordered positions drawn at random; 0 for none.
    int configurations = 0;
    std::uint64_t seed = 1;
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
