#include "textutil.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace atoms {

// Reads an unsigned decimal number at text[pos...]; returns false if there is none.
static bool readDecimal(const std::string &text, std::size_t &pos, double &value)
{
    const std::size_t start = pos;
    bool digits = false;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        ++pos;
        digits = true;
    }
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            ++pos;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exp = pos + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-'))
            ++exp;
        if (exp < text.size() && std::isdigit(static_cast<unsigned char>(text[exp]))) {
            while (exp < text.size() && std::isdigit(static_cast<unsigned char>(text[exp])))
                ++exp;
            pos = exp;
        }
    }
    value = std::strtod(text.substr(start, pos - start).c_str(), nullptr);
    return true;
}

std::optional<double> parseNumber(const std::string &text)
{
    std::size_t pos = 0;
    double sign = 1;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        sign = text[pos] == '-' ? -1 : 1;
        ++pos;
    }
    double value = 0;
    if (!readDecimal(text, pos, value))
        return std::nullopt;
    if (pos < text.size() && text[pos] == '/') {
        ++pos;
        double denominator = 0;
        if (!readDecimal(text, pos, denominator) || denominator == 0)
            return std::nullopt;
        value /= denominator;
    } else if (pos < text.size() && text[pos] == '(') {
        std::size_t close = pos + 1;
        while (close < text.size() && std::isdigit(static_cast<unsigned char>(text[close])))
            ++close;
        if (close == pos + 1 || close >= text.size() || text[close] != ')')
            return std::nullopt;
        pos = close + 1;
    }
    if (pos != text.size() || !std::isfinite(value))
        return std::nullopt;
    return sign * value;
}

std::string toLower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool equalsIgnoreCase(const std::string &a, const std::string &b)
{
    return toLower(a) == toLower(b);
}

std::string asciiLine(const std::string &text, std::size_t maxLength)
{
    std::string line;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const char out = std::isspace(u) ? ' ' : (u >= 0x21 && u < 0x7f ? c : '?');
        if (out == ' ' && (line.empty() || line.back() == ' '))
            continue;
        line += out;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    if (line.size() > maxLength)
        line.resize(maxLength);
    return line;
}

std::string fixed(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    if (std::fabs(value) * scale < 0.5)
        value = 0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string shortNumber(double value)
{
    std::string text = fixed(value, 5);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::string joined(const std::vector<std::string> &parts, const std::string &separator)
{
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

std::string listed(const std::vector<std::string> &parts, std::size_t most)
{
    if (parts.size() <= most)
        return joined(parts, ", ");
    return joined(std::vector<std::string>(parts.begin(), parts.begin() + most), ", ") + ", ...";
}

} // namespace atoms
