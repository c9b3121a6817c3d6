#ifndef ATOMS_TEXTUTIL_H
#define ATOMS_TEXTUTIL_H

#include <optional>
#include <string>
#include <vector>

namespace atoms {

// A number as crystallographers write it: "5.5592(9)" (with its s.u.), "1/3", "-.25", "+2".
std::optional<double> parseNumber(const std::string &text);

std::string toLower(std::string text);
std::string trimmed(const std::string &text);
bool equalsIgnoreCase(const std::string &a, const std::string &b);

// One printable ASCII line of at most maxLength characters: other bytes become '?',
// runs of blanks one blank.
std::string asciiLine(const std::string &text, std::size_t maxLength = 200);

// Fixed-point text with the given decimals and no "-0.000" for values that round to zero.
std::string fixed(double value, int decimals);

// A short text for a value such as a lattice constant: up to 5 decimals, trailing zeros dropped.
std::string shortNumber(double value);

std::string joined(const std::vector<std::string> &parts, const std::string &separator);
// "a, b, c, ..." with at most the first `most` parts.
std::string listed(const std::vector<std::string> &parts, std::size_t most = 8);

} // namespace atoms

#endif
