// Text tables of a spectrum: columns of numbers under an optional header, and XDI.
#include "columns.h"
#include "measured.h"

#include "textscan.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

using namespace xafs;
using namespace xafs::table;

using scan::Line;

// A file whose first 4 MiB hold no row of numbers is not a spectrum, however long it is.
constexpr std::size_t maxHeaderBytes = std::size_t(4) << 20;
constexpr std::size_t maxColumns = 256;
constexpr const char *commentChars = "#;%!*";

bool isComment(std::string_view trimmed)
{
    return !trimmed.empty() && std::strchr(commentChars, trimmed[0]) != nullptr;
}

// The line without its comment characters and blanks.
std::string_view uncommented(std::string_view text)
{
    text = scan::trim(text);
    while (!text.empty() && std::strchr(commentChars, text[0]) != nullptr)
        text.remove_prefix(1);
    return scan::trim(text);
}

bool hasAlnum(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

enum class Row { Text, Numbers, TooWide };

// A row of numbers: not a comment, every word a number (at most maxColumns of them).
// words receives the words.
Row classify(std::string_view text, std::vector<std::string_view> &words)
{
    const std::string_view t = scan::trim(text);
    if (t.empty() || isComment(t))
        return Row::Text;
    const bool fits = scan::splitWords(t, words, maxColumns);
    if (words.empty())
        return Row::Text;
    double value;
    for (const auto &word : words)
        if (!scan::parseNumber(word, value))
            return Row::Text;
    return fits ? Row::Numbers : Row::TooWide;
}

// The header of a table: the lines before its first row of numbers.
struct Header
{
    Line lastNamed; // the last line with letters or digits: it names the columns, if any
    bool haveNamed = false;
    Line firstRow;
    std::size_t columns = 0;
};

template <typename OnLine>
Outcome<Header> scanHeader(scan::LineReader &lines, const std::string &name, OnLine onHeaderLine)
{
    Header header;
    Line line;
    std::vector<std::string_view> words;
    while (lines.next(line)) {
        const Row row = classify(line.text, words);
        if (row == Row::TooWide)
            return fail(name, line.number, "more than " + std::to_string(maxColumns) + " columns");
        if (row == Row::Numbers) {
            header.firstRow = line;
            header.columns = words.size();
            return header;
        }
        if (line.offset > maxHeaderBytes)
            return fail(name, 0, "no row of numbers in the first 4 MiB: not a spectrum");
        const std::string_view body = uncommented(line.text);
        if (hasAlnum(body)) {
            header.lastNamed = line;
            header.haveNamed = true;
        }
        if (auto error = onHeaderLine(line))
            return *error;
    }
    return fail(name, 0, "no rows of numbers: not a spectrum");
}

// Column names from the last named header line when it has one word per column (words
// without a letter or digit, such as FEFF's "@#", do not count).
std::vector<std::string> labelsFromHeader(const Header &header)
{
    std::vector<std::string> labels;
    if (!header.haveNamed)
        return labels;
    std::vector<std::string_view> words;
    if (!scan::splitWords(uncommented(header.lastNamed.text), words, 4 * maxColumns))
        return labels;
    for (const auto &word : words)
        if (hasAlnum(word))
            labels.push_back(std::string(word));
    if (labels.size() != header.columns)
        labels.clear();
    return labels;
}

// The rows of a table from its first row on, as a spectrum of the picked columns.
Outcome<Spectrum> readRows(scan::LineReader &lines, const Header &header, const Layout &layout,
    const ColumnChoice &choice, const std::string &name)
{
    const auto picked = pickColumns(choice, layout, header.columns, name, header.firstRow.number);
    if (!picked)
        return picked.error();
    const Picked p = picked.value();
    Spectrum spectrum;
    spectrum.kind = p.kind;
    spectrum.columns = describe(p, layout);

    std::vector<std::string_view> words;
    std::vector<double> values(header.columns);
    Line line = header.firstRow;
    bool more = true;
    while (more) {
        const std::string_view t = scan::trim(line.text);
        if (!t.empty() && !isComment(t)) {
            if (!scan::splitWords(t, words, maxColumns))
                return fail(
                    name, line.number, "more than " + std::to_string(maxColumns) + " columns");
            if (words.size() != header.columns) {
                for (const auto &word : words)
                    if (!scan::parseNumber(word, values[0]))
                        return fail(name, line.number, "not a row of numbers: " + scan::quoted(t));
                return fail(name, line.number,
                    std::to_string(words.size()) + " columns where line "
                        + std::to_string(header.firstRow.number) + " has "
                        + std::to_string(header.columns));
            }
            for (std::size_t i = 0; i < words.size(); ++i)
                if (!scan::parseNumber(words[i], values[i]))
                    return fail(name, line.number,
                        "not a row of numbers: " + scan::quoted(words[i]) + " in "
                            + scan::quoted(t));
            for (int column : { p.x, p.numerator, p.denominator })
                if (column >= 0 && !std::isfinite(values[column]))
                    return fail(name, line.number,
                        columnName(layout, column) + " is " + scan::quoted(words[column])
                            + ", not a finite number");
            if (spectrum.x.size() == maxPoints)
                return fail(name, line.number,
                    "more than " + std::to_string(maxPoints) + " points: not a spectrum");
            auto value = [&](int column) {
                return values[column]
                    * (column < int(layout.scale.size()) ? layout.scale[column] : 1.0);
            };
            double y = value(p.numerator);
            if (p.denominator >= 0)
                y /= value(p.denominator);
            if (p.log)
                y = std::log(y);
            if (!std::isfinite(y))
                return fail(name, line.number,
                    spectrum.columns + " is not a finite number (" + columnName(layout, p.numerator)
                        + " = " + std::string(words[p.numerator])
                        + (p.denominator >= 0 ? ", " + columnName(layout, p.denominator) + " = "
                                    + std::string(words[p.denominator])
                                              : std::string())
                        + ")");
            spectrum.x.push_back(value(p.x));
            spectrum.y.push_back(y);
        }
        more = lines.next(line);
    }
    spectrum.merged = sortAndMerge(spectrum.x, spectrum.y, &spectrum.reordered);
    return spectrum;
}

std::optional<Error> noCheck(const Line &) { return std::nullopt; }

} // namespace

namespace xafs {

Outcome<Spectrum> readColumns(
    std::string_view text, const std::string &name, const ColumnChoice &columns)
{
    scan::LineReader lines(text);
    const auto header = scanHeader(lines, name, noCheck);
    if (!header)
        return header.error();
    Layout layout;
    layout.labels = labelsFromHeader(header.value());
    auto spectrum = readRows(lines, header.value(), layout, columns, name);
    if (spectrum)
        spectrum->format = spectrum->kind == Spectrum::Kind::Chi ? "chi(k) columns" : "columns";
    return spectrum;
}

Outcome<Spectrum> readXdi(
    std::string_view text, const std::string &name, const ColumnChoice &columns)
{
    Line first;
    if (!scan::LineReader(text).next(first)
        || !(scan::startsWith(scan::trim(first.text), "# XDI/")
            || scan::startsWith(scan::trim(first.text), "#XDI/")))
        return fail(name, 1, "not an XDI file: it does not begin with '# XDI/'");
    scan::LineReader lines(text);
    std::vector<std::string> names;
    std::vector<std::string> units;
    std::string element, edge;
    bool fields = true;
    auto onHeader = [&](const Line &line) -> std::optional<Error> {
        const std::string_view t = scan::trim(line.text);
        if (line.number == 1 || !fields)
            return std::nullopt;
        const std::string_view body = uncommented(t);
        if (scan::startsWith(body, "///")) {
            fields = false;
            return std::nullopt;
        }
        const std::size_t colon = body.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        const std::string key = scan::lower(scan::trim(body.substr(0, colon)));
        const std::string_view value = scan::trim(body.substr(colon + 1));
        if (scan::startsWith(key, "column.")) {
            const std::string number = key.substr(7);
            if (number.empty() || number.size() > 4
                || number.find_first_not_of("0123456789") != std::string::npos)
                return fail(
                    name, line.number, "XDI field " + scan::quoted(key) + " is not Column.N");
            const std::size_t n = std::stoul(number);
            if (n < 1 || n > maxColumns)
                return fail(name, line.number, "XDI column number " + number + " out of range");
            std::vector<std::string_view> words;
            scan::splitWords(value, words, 8);
            if (words.empty())
                return fail(
                    name, line.number, "XDI field " + scan::quoted(key) + " names no column");
            if (names.size() < n) {
                names.resize(n);
                units.resize(n);
            }
            names[n - 1] = std::string(words[0]);
            units[n - 1] = words.size() > 1 ? scan::lower(words[1]) : std::string();
        } else if (key == "element.symbol" || key == "scan.element") {
            element = std::string(value);
        } else if (key == "element.edge" || key == "scan.edge") {
            edge = std::string(value);
        }
        return std::nullopt;
    };
    const auto header = scanHeader(lines, name, onHeader);
    if (!header)
        return header.error();
    Layout layout;
    layout.xdi = true;
    if (names.empty()) {
        layout.labels = labelsFromHeader(header.value());
    } else {
        if (names.size() > header->columns)
            return fail(name, header->firstRow.number,
                "the XDI header names " + std::to_string(names.size()) + " columns, the rows have "
                    + std::to_string(header->columns));
        names.resize(header->columns);
        units.resize(header->columns);
        layout.labels = names;
        layout.scale.assign(header->columns, 1.0);
        for (std::size_t i = 0; i < units.size(); ++i)
            if (units[i] == "kev" && scan::lower(names[i]) == "energy")
                layout.scale[i] = 1000.0;
    }
    auto spectrum = readRows(lines, header.value(), layout, columns, name);
    if (spectrum) {
        spectrum->format = "XDI";
        spectrum->element = element;
        spectrum->edge = edge;
    }
    return spectrum;
}

} // namespace xafs
