#include "measured.h"

#include "textscan.h"
#include "unpack.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>

namespace {

using namespace xafs;

using scan::Line;

// A file whose first 4 MiB hold no row of numbers is not a spectrum, however long it is.
constexpr std::size_t maxHeaderBytes = std::size_t(4) << 20;
constexpr std::size_t maxColumns = 256;
constexpr const char *commentChars = "#;%!*";

Error fail(const std::string &name, long line, std::string reason)
{
    return Error { name, line, std::move(reason) };
}

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

struct Layout
{
    std::vector<std::string> labels; // as written; empty entries for unnamed columns
    std::vector<double> scale; // factor of each column's values (keV -> eV)
    bool xdi = false;
};

std::string columnName(const Layout &layout, int index)
{
    if (index < int(layout.labels.size()) && !layout.labels[index].empty())
        return layout.labels[index];
    return "column " + std::to_string(index + 1);
}

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

struct Picked
{
    int x = 0;
    int numerator = 1;
    int denominator = -1;
    bool log = false;
    Spectrum::Kind kind = Spectrum::Kind::Mu;
};

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

Outcome<Spectrum> dispatch(
    std::string_view bytes, const std::string &name, const ReadOptions &options, bool unpacked)
{
    if (!unpacked && isGzip(bytes)) {
        const auto text = gunzip(bytes, name, maxUnpackedBytes);
        if (!text)
            return text.error();
        return dispatch(text.value(), name, options, true);
    }
    if (scan::startsWith(bytes, "\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const std::string_view head = bytes.substr(0, 512);
    if (scan::trim(head).substr(0, 1) == "{"
        && head.find("Athena project file -- ") != std::string_view::npos)
        return fail(name, 1,
            "an Athena project in JSON form (as Demeter 0.9.26 and Larch write it) is not "
            "read; save the group as an XDI or column file");
    if (head.find("Athena project file -- ") != std::string_view::npos)
        return readAthenaProject(bytes, name, options.group);
    if (!options.group.empty())
        return fail(name, 0,
            "a group " + scan::quoted(options.group)
                + " was asked for, but the file is not an Athena project");
    if (scan::startsWith(scan::trim(head), "# XDI/") || scan::startsWith(scan::trim(head), "#XDI/"))
        return readXdi(bytes, name, options.columns);
    return readColumns(bytes, name, options.columns);
}

} // namespace

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

Outcome<Spectrum> readMeasured(
    std::string_view bytes, const std::string &name, const ReadOptions &options)
{
    return dispatch(bytes, name, options, false);
}

Outcome<Spectrum> readMeasuredFile(const std::string &path, const ReadOptions &options)
{
    ReadOptions chosen = options;
    std::string file = path;
    if (chosen.group.empty()) {
        const auto split = splitProjectPath(path);
        if (!split.second.empty()) {
            file = split.first;
            chosen.group = split.second;
        }
    }
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status))
        return fail(file, 0, "cannot read: no such file");
    if (!std::filesystem::is_regular_file(status))
        return fail(file, 0, "cannot read: not a regular file");
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return fail(file, 0, "cannot read: " + error.message());
    if (size > maxFileBytes)
        return fail(file, 0,
            "a file of " + std::to_string(size >> 20)
                + " MiB is larger than any measured spectrum (at most "
                + std::to_string(maxFileBytes >> 20) + " MiB)");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return fail(file, 0, "cannot read: " + std::string(std::strerror(errno)));
    std::string bytes(size, '\0');
    in.read(bytes.data(), std::streamsize(size));
    bytes.resize(std::size_t(in.gcount()));
    if (in.bad())
        return fail(file, 0, "cannot read: input error");
    return readMeasured(bytes, file, chosen);
}

std::pair<std::string, std::string> splitProjectPath(const std::string &path)
{
    const std::string folded = scan::lower(path);
    const std::size_t at = folded.find(".prj#");
    if (at == std::string::npos)
        return { path, std::string() };
    return { path.substr(0, at + 4), path.substr(at + 5) };
}

int sortAndMerge(std::vector<double> &x, std::vector<double> &y, bool *reordered)
{
    const std::size_t n = std::min(x.size(), y.size());
    x.resize(n);
    y.resize(n);
    bool increasing = true;
    for (std::size_t i = 1; i < n && increasing; ++i)
        increasing = x[i] > x[i - 1];
    if (reordered)
        *reordered = false;
    if (increasing)
        return 0;
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(
        order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
    if (reordered)
        *reordered = !std::is_sorted(order.begin(), order.end());
    std::vector<double> sx, sy;
    sx.reserve(n);
    sy.reserve(n);
    int merged = 0;
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i;
        double sum = 0;
        while (j < n && x[order[j]] == x[order[i]])
            sum += y[order[j++]];
        sx.push_back(x[order[i]]);
        sy.push_back(sum / double(j - i));
        merged += int(j - i - 1);
        i = j;
    }
    x = std::move(sx);
    y = std::move(sy);
    return merged;
}

} // namespace xafs
