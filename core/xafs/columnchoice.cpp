#include "columns.h"

#include "textscan.h"

#include <algorithm>

namespace {

using namespace xafs;
using namespace xafs::table;

int findLabel(const Layout &layout, std::string_view wanted)
{
    const std::string key = scan::lower(wanted);
    for (std::size_t i = 0; i < layout.labels.size(); ++i)
        if (scan::lower(layout.labels[i]) == key)
            return int(i);
    return -1;
}

std::string labelList(const Layout &layout)
{
    std::string list;
    for (const auto &label : layout.labels)
        if (!label.empty())
            list += (list.empty() ? "" : ", ") + label;
    return list.empty() ? std::string("the file names no columns") : "the columns: " + list;
}

Outcome<int> pickColumn(const std::string &field, const Layout &layout, std::size_t columns,
    const std::string &name, long line)
{
    const bool digits = !field.empty()
        && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        const long n = field.size() > 6 ? 0 : std::stol(field);
        if (n < 1 || std::size_t(n) > columns)
            return fail(name, line,
                "column " + field + " asked for, but the rows have " + std::to_string(columns)
                    + " columns");
        return int(n - 1);
    }
    const int index = findLabel(layout, field);
    if (index < 0)
        return fail(
            name, line, "no column named " + scan::quoted(field) + " (" + labelList(layout) + ")");
    return index;
}

} // namespace

namespace xafs::table {

std::string columnName(const Layout &layout, int index)
{
    if (index < int(layout.labels.size()) && !layout.labels[index].empty())
        return layout.labels[index];
    return "column " + std::to_string(index + 1);
}

Outcome<Picked> pickColumns(const ColumnChoice &choice, const Layout &layout, std::size_t columns,
    const std::string &name, long line)
{
    Picked picked;
    if (!choice.empty()) {
        const auto x = pickColumn(choice.abscissa, layout, columns, name, line);
        if (!x)
            return x.error();
        const auto numerator = pickColumn(choice.numerator, layout, columns, name, line);
        if (!numerator)
            return numerator.error();
        picked.x = x.value();
        picked.numerator = numerator.value();
        if (!choice.denominator.empty()) {
            const auto denominator = pickColumn(choice.denominator, layout, columns, name, line);
            if (!denominator)
                return denominator.error();
            picked.denominator = denominator.value();
        }
        picked.log = choice.log;
    } else if (layout.xdi) {
        picked.x = 0;
        for (const char *abscissa : { "energy", "k" }) {
            const int found = findLabel(layout, abscissa);
            if (found >= 0) {
                picked.x = found;
                break;
            }
        }
    }
    const std::string xName
        = picked.x < int(layout.labels.size()) ? scan::lower(layout.labels[picked.x]) : "";
    if (xName == "k"
        || (xName.empty()
            && (scan::endsWithNoCase(name, ".chi") || scan::endsWithNoCase(name, ".chik"))))
        picked.kind = Spectrum::Kind::Chi;
    if (!choice.empty())
        return picked;

    if (columns < 2)
        return fail(name, line, "one column only: no spectrum");
    auto named = [&](std::initializer_list<const char *> names) {
        for (const char *wanted : names) {
            const int found = findLabel(layout, wanted);
            if (found >= 0 && found != picked.x)
                return found;
        }
        return -1;
    };
    if (picked.kind == Spectrum::Kind::Chi) {
        const int chi = named({ "chi", "chi(k)" });
        picked.numerator = chi >= 0 ? chi : (picked.x == 1 ? 0 : 1);
        return picked;
    }
    if (layout.xdi) {
        const int mu = named({ "mutrans", "mufluor", "mu" });
        const int i0 = named({ "i0" });
        const int itrans = named({ "itrans" });
        const int ifluor = named({ "ifluor" });
        if (mu >= 0) {
            picked.numerator = mu;
        } else if (i0 >= 0 && itrans >= 0) {
            picked.numerator = i0;
            picked.denominator = itrans;
            picked.log = true;
        } else if (i0 >= 0 && ifluor >= 0) {
            picked.numerator = ifluor;
            picked.denominator = i0;
        } else {
            return fail(name, line,
                "the XDI columns hold no mu(E): none of mutrans, mufluor, mu, i0 with itrans, "
                "ifluor with i0 ("
                    + labelList(layout) + "); choose the columns");
        }
        return picked;
    }
    const int mu = named({ "mu", "xmu", "mutrans", "mufluor" });
    picked.numerator = mu >= 0 ? mu : (picked.x == 1 ? 0 : 1);
    return picked;
}

std::string describe(const Picked &picked, const Layout &layout)
{
    std::string text = columnName(layout, picked.numerator);
    if (picked.denominator >= 0)
        text += "/" + columnName(layout, picked.denominator);
    return picked.log ? "ln(" + text + ")" : text;
}

} // namespace xafs::table

namespace xafs {

Outcome<ColumnChoice> parseColumnChoice(std::string_view text)
{
    auto bad = [&](const std::string &why) {
        return Error { std::string(), 0,
            "columns " + scan::quoted(text) + ": " + why
                + " (expected ENERGY,NUMERATOR[/DENOMINATOR][,ln], columns by number or name)" };
    };
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(std::string(scan::trim(text.substr(start, comma - start))));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (fields.size() < 2 || fields.size() > 3)
        return bad("two or three fields separated by commas");
    ColumnChoice choice;
    choice.abscissa = fields[0];
    const std::size_t slash = fields[1].find('/');
    choice.numerator = std::string(scan::trim(std::string_view(fields[1]).substr(0, slash)));
    if (slash != std::string::npos) {
        choice.denominator = std::string(scan::trim(std::string_view(fields[1]).substr(slash + 1)));
        if (choice.denominator.empty() || choice.denominator.find('/') != std::string::npos)
            return bad("one column after '/'");
    }
    if (choice.abscissa.empty() || choice.numerator.empty())
        return bad("an empty column");
    for (const std::string *field : { &choice.abscissa, &choice.numerator, &choice.denominator })
        if (!field->empty() && field->find_first_not_of('0') == std::string::npos)
            return bad("columns are numbered from 1");
    if (fields.size() == 3) {
        if (scan::lower(fields[2]) != "ln")
            return bad("the third field can only be ln");
        choice.log = true;
    }
    return choice;
}

} // namespace xafs
