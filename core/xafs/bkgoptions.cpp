#include "background.h"

#include "textscan.h"

namespace xafs {

Outcome<BkgParams> parseBkgOption(std::string_view text, const BkgParams &base)
{
    auto bad = [&](const std::string &why) {
        return Error { std::string(), 0,
            "background " + scan::quoted(text) + ": " + why
                + " (expected RBKG,KWEIGHT, for example 1.0,2)" };
    };
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos)
        return bad("two values separated by a comma");
    BkgParams params = base;
    const std::string_view rbkg = scan::trim(text.substr(0, comma));
    const std::string_view kweight = scan::trim(text.substr(comma + 1));
    if (!rbkg.empty()) {
        double value = 0;
        if (!scan::parseNumber(rbkg, value) || !(value > 0 && value <= 10))
            return bad("Rbkg must be a distance above 0 and at most 10 A");
        params.rbkg = value;
    }
    if (!kweight.empty()) {
        double value = 0;
        if (!scan::parseNumber(kweight, value) || value != std::floor(value) || value < 0
            || value > 5)
            return bad("the k-weight must be a whole number from 0 to 5");
        params.kweight = int(value);
    }
    return params;
}

Outcome<double> parseE0Option(std::string_view text)
{
    double value = 0;
    if (!scan::parseNumber(scan::trim(text), value) || !std::isfinite(value) || value <= 0)
        return Error { std::string(), 0, "E0 " + scan::quoted(text) + ": not an energy in eV" };
    return value;
}

} // namespace xafs
