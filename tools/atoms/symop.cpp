#include "symop.h"

#include "textutil.h"

#include <cctype>
#include <cmath>
#include <vector>

namespace atoms {

// Reads one coordinate expression such as "-x+y", "1/2+z", "x-0.25" or "2*x" into a row.
static bool parseExpression(const std::string &text, Vec3 &row, double &shift)
{
    std::size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
    };
    auto axisAt = [&](std::size_t at) {
        if (at >= text.size())
            return -1;
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[at])));
        return c >= 'x' && c <= 'z' ? c - 'x' : -1;
    };
    bool anyTerm = false;
    skipBlanks();
    while (pos < text.size()) {
        double sign = 1;
        if (text[pos] == '+' || text[pos] == '-') {
            sign = text[pos] == '-' ? -1 : 1;
            ++pos;
            skipBlanks();
        } else if (anyTerm) {
            return false;
        }
        if (const int axis = axisAt(pos); axis >= 0) {
            row[axis] += sign;
            ++pos;
        } else {
            const std::size_t start = pos;
            while (pos < text.size()
                && (std::isdigit(static_cast<unsigned char>(text[pos])) || text[pos] == '.'
                    || text[pos] == '/'))
                ++pos;
            const auto number = parseNumber(text.substr(start, pos - start));
            if (!number)
                return false;
            skipBlanks();
            if (pos < text.size() && text[pos] == '*') {
                ++pos;
                skipBlanks();
            }
            if (const int factorOf = axisAt(pos); factorOf >= 0) {
                row[factorOf] += sign * *number;
                ++pos;
            } else {
                shift += sign * *number;
            }
        }
        anyTerm = true;
        skipBlanks();
    }
    return anyTerm;
}

static double determinant(const std::array<Vec3, 3> &m) { return dot(m[0], cross(m[1], m[2])); }

std::optional<SymOp> parseSymop(const std::string &text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() != 3)
        return std::nullopt;
    SymOp op;
    for (int i = 0; i < 3; ++i) {
        op.rot[i] = { 0, 0, 0 };
        op.trans[i] = 0;
        if (!parseExpression(parts[i], op.rot[i], op.trans[i]))
            return std::nullopt;
    }
    if (std::fabs(std::fabs(determinant(op.rot)) - 1) > 1e-6)
        return std::nullopt;
    return op;
}

} // namespace atoms
