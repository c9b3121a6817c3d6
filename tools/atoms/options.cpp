#include "options.h"

#include "crystal.h"
#include "feffinput.h"
#include "textutil.h"

#include <cmath>
#include <limits>

namespace atoms {

static double distanceValue(const std::string &option, const std::string &value, double largest)
{
    const auto number = parseNumber(value);
    if (!number || *number <= 0 || *number > largest)
        throw InputError(option + " needs a distance in Angstrom above 0 and at most "
            + shortNumber(largest) + ", not '" + asciiLine(value, 20) + "'");
    return *number;
}

static std::uint64_t seedValue(const std::string &value)
{
    std::uint64_t seed = 0;
    const std::uint64_t largest = std::numeric_limits<std::uint64_t>::max();
    for (char c : value) {
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (digit > 9 || seed > (largest - digit) / 10)
            throw InputError("--seed needs a whole number from 0 to " + std::to_string(largest)
                + ", not '" + asciiLine(value, 30) + "'");
        seed = seed * 10 + digit;
    }
    if (value.empty())
        throw InputError("--seed needs a whole number");
    return seed;
}

Options parseOptions(const std::vector<std::string> &args)
{
    Options options;
    bool haveInput = false;
    bool seedGiven = false;
    // Checked once the FEFF is known, whose limits they depend on.
    std::vector<std::pair<std::string, std::string>> distances;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (name.rfind("--", 0) == 0) {
            if (const auto equals = name.find('='); equals != std::string::npos) {
                value = name.substr(equals + 1);
                name = name.substr(0, equals);
            }
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        const bool known = name == "-c" || name == "--absorber" || name == "--edge"
            || name == "--radius" || name == "--rmax" || name == "--scf" || name == "--feff"
            || name == "--sites" || name == "--configurations" || name == "--seed";
        if (!known) {
            if (!name.empty() && name[0] == '-')
                throw InputError("unknown option '" + asciiLine(name, 40) + "' (see --help)");
            throw InputError(
                "unexpected argument '" + asciiLine(name, 40) + "'; the input file comes after -c");
        }
        if (!value) {
            if (i + 1 >= args.size())
                throw InputError("option " + name + " needs a value");
            value = args[++i];
        }
        if (name == "-c") {
            if (haveInput)
                throw InputError("more than one input file (-c " + asciiLine(options.input, 60)
                    + " and -c " + asciiLine(*value, 60) + ")");
            options.input = *value;
            haveInput = true;
        } else if (name == "--absorber") {
            if (value->empty())
                throw InputError("--absorber needs a site label or an element");
            options.absorber = *value;
        } else if (name == "--edge") {
            if (holeNumber(*value) == 0)
                throw InputError(
                    "--edge needs K, L1, L2 or L3, not '" + asciiLine(*value, 20) + "'");
            options.edge = *value;
        } else if (name == "--sites") {
            if (*value != "all")
                throw InputError("--sites takes only 'all', not '" + asciiLine(*value, 20) + "'");
            options.allSites = true;
        } else if (name == "--configurations") {
            const auto number = parseNumber(*value);
            if (!number || *number != std::floor(*number) || *number < 1
                || *number > maxConfigurations)
                throw InputError("--configurations needs a whole number from 1 to "
                    + std::to_string(maxConfigurations) + ", not '" + asciiLine(*value, 20) + "'");
            options.configurations = static_cast<int>(*number);
        } else if (name == "--seed") {
            options.seed = seedValue(*value);
            seedGiven = true;
        } else if (name == "--feff") {
            if (*value != "6" && *value != "8")
                throw InputError("--feff needs 6 (FEFF 6L) or 8 (FEFF 8.5L), not '"
                    + asciiLine(*value, 20) + "'");
            options.feff = *value == "8" ? 8 : 6;
        } else {
            distances.emplace_back(name, *value);
        }
    }
    const double largest = feffProgram(options.feff).largestRadius;
    for (const auto &[option, value] : distances) {
        const double distance = distanceValue(option, value, largest);
        if (option == "--radius")
            options.radius = distance;
        else if (option == "--rmax")
            options.rmax = distance;
        else
            options.scf = distance;
    }
    if (seedGiven && options.configurations == 0)
        throw InputError("--seed needs --configurations");
    if (options.scf && options.feff != 8)
        throw InputError("--scf needs --feff 8: FEFF 6L has no self-consistent potentials");
    if (!haveInput && !options.help)
        throw InputError("no input file (-c <file>)");
    return options;
}

std::string inputPathIn(const std::vector<std::string> &args)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-c")
            return args[i + 1];
    return std::string();
}

std::string usageText()
{
    return "Usage: orbelin-atoms [options] -c <input file>\n"
           "Turns a crystal structure into the text of a FEFF input (feff.inp) on standard\n"
           "output, after a few lines about what it read. The input is a CIF or an Atoms\n"
           "keyword file (title, space, a, b, c, alpha, beta, gamma, rmax, core, edge, atoms).\n"
           "\n"
           "Options (in any order; --name=value works too):\n"
           "  --absorber <site>  absorbing atom: a site label, or an element for its first\n"
           "                     site (default: the keyword file's core, else the first site)\n"
           "  --edge <edge>      K, L1, L2 or L3 (default: the keyword file's edge, else K,\n"
           "                     or L3 from La, Z = 57, on)\n"
           "  --radius <A>       cluster radius in Angstrom, at most 12 (20 with --feff 8)\n"
           "                     (default: the keyword file's rmax, else 6.0)\n"
           "  --rmax <A>         longest half path length FEFF follows, FEFF's RMAX, in\n"
           "                     Angstrom, at most 12 (20 with --feff 8) (default 5.0)\n"
           "  --feff <6|8>       the FEFF the input is for (default 6):\n"
           "                     6  FEFF 6L (Debian's feff6): at most 500 atoms, 7 elements\n"
           "                        besides the absorber, elements up to Pu (Z = 94)\n"
           "                     8  FEFF 8.5L (Debian's feff8l): at most 1000 atoms, 10\n"
           "                        elements besides the absorber, elements up to Es\n"
           "                        (Z = 99), L3 edges from N (Z = 7) on; takes --scf;\n"
           "                        without hydrogen, on which feff8l may never end\n"
           "  --scf <A>          with --feff 8: self-consistent potentials from the atoms\n"
           "                     within this radius (FEFF's SCF card), at most 100 atoms\n"
           "                     (default: none, overlapped atoms as FEFF 6L)\n"
           "  --sites all        one input per inequivalent site of the absorber's element\n"
           "                     (--absorber names the element or one of its sites), each\n"
           "                     weighted by its positions in the cell x occupancy; sites\n"
           "                     that are lattice translations of one another count as one\n"
           "  --configurations <K>  K inputs (1 to 1000) whose partly occupied and shared\n"
           "                     positions are drawn at random with their occupancies (a\n"
           "                     species, one of a split site's positions, or none), each\n"
           "                     of weight 1/K; with --sites all, K per site\n"
           "  --seed <S>         the draws' seed, a whole number (default 1): the same seed\n"
           "                     gives the same inputs\n"
           "  --help             this text\n"
           "  -c <file>          the input file\n"
           "\n"
           "With --sites or --configurations the messages are followed by every input, each\n"
           "after one line that starts in column 1:\n"
           "  * orbelin-atoms input NAME weight W\n"
           "NAME (letters, digits, '.', '_', '-'; other characters of a label become '_',\n"
           "and a name given twice gets _2) is site-<label>, conf-NN (from 01, two digits\n"
           "or more) or site-<label>-conf-NN; W is written with 17 significant digits and\n"
           "the weights add up to 1. Each input is a complete feff.inp, from its\n"
           "' * This feff.inp was written by' line to its END line. A site with nothing to\n"
           "draw gives one input (site-<label>, or conf-01 without --sites); a lone input\n"
           "has weight 1.\n"
           "\n"
           "Exit status 0 on success; on any error one line naming the file and the cause,\n"
           "and status 1 (bad input) or 2 (bad command line).\n";
}

} // namespace atoms
