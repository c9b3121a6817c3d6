#include "runinput.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace atoms {

std::string nameOfSite(const std::string &label, std::vector<std::string> &taken)
{
    std::string name;
    for (char c : label)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-'
            ? c
            : '_';
    if (name.empty())
        name = "_";
    std::string unique = name;
    for (int n = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++n)
        unique = name + "_" + std::to_string(n);
    taken.push_back(unique);
    return unique;
}

std::string nameOfConfiguration(int number, int count)
{
    const int width = std::max(2, static_cast<int>(std::to_string(count).size()));
    std::string digits = std::to_string(number);
    return "conf-" + std::string(width - digits.size(), '0') + digits;
}

std::string inputLine(const Input &input)
{
    char weight[40];
    std::snprintf(weight, sizeof weight, "%.17g", input.weight);
    return "input " + input.name + " weight " + weight;
}

} // namespace atoms
