// Athena project files: the Perl text Athena and Demeter write (often gzip-compressed),
// read as data. Each group is a few statements, one a line, closed by "[record]":
//   $old_group = 'wosk';
//   @args = ('label','fes2_rt01.xmu','is_xmu',1, 'titles',['...'], ...);
//   @x = ('6911.8277', ...);   @y = ('0.80926541', ...);
// Only the literals of those statements are parsed (quoted strings, numbers, nested
// brackets skipped); nothing is evaluated. As Larch's reader does, the energies are taken
// as stored, without Athena's energy shift (bkg_eshift).
#include "measured.h"

#include "textscan.h"
#include "unpack.h"

#include <cmath>
#include <map>

namespace {

using namespace xafs;

using scan::Line;

// Projects hold tens of groups, a hundred at most in practice.
constexpr std::size_t maxGroups = 10000;

struct Record
{
    std::string name; // Athena's hash key ($old_group)
    std::map<std::string, std::string> args;
    Line x, y; // the @x and @y statements, parsed only for the group read
    bool haveX = false;
    bool haveY = false;

    std::string label() const
    {
        const auto it = args.find("label");
        return it != args.end() && !it->second.empty() ? it->second : name;
    }
    bool flag(const std::string &key, bool missing) const
    {
        const auto it = args.find(key);
        if (it == args.end())
            return missing;
        double value = 0;
        return scan::parseNumber(scan::trim(it->second), value) && value != 0;
    }
    // "mu" or "chi" for the groups Athena and Larch treat as such; else what it holds.
    std::string kind() const
    {
        if (flag("is_chi", false))
            return "chi";
        for (const char *other :
            { "is_xmudat", "is_bkg", "is_diff", "is_proj", "is_pixel", "is_rsp" })
            if (flag(other, false))
                return std::string(other).substr(3);
        return flag("is_xmu", true) ? "mu" : "other";
    }
};

// A Perl list literal, "(a, 'b', [..], {..})", as its scalar elements; nested lists and
// hashes become empty strings. false on text that is not such a list.
class ListParser
{
public:
    explicit ListParser(std::string_view text)
        : m_text(text)
    {
    }

    bool parse(std::vector<std::string> &items, std::size_t maxItems)
    {
        skipBlanks();
        if (!take('('))
            return false;
        while (true) {
            skipBlanks();
            if (take(')'))
                return true;
            if (m_pos >= m_text.size() || items.size() >= maxItems)
                return false;
            std::string item;
            if (!element(item))
                return false;
            items.push_back(std::move(item));
            skipBlanks();
            if (take(',') || takeArrow())
                continue;
            if (take(')'))
                return true;
            return false;
        }
    }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size()
            && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r'
                || m_text[m_pos] == '\n'))
            ++m_pos;
    }
    bool take(char c)
    {
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool takeArrow()
    {
        if (m_text.substr(m_pos, 2) == "=>") {
            m_pos += 2;
            return true;
        }
        return false;
    }
    bool element(std::string &item)
    {
        const char c = m_text[m_pos];
        if (c == '\'' || c == '"')
            return quotedString(item);
        if (c == '[' || c == '{')
            return skipNested();
        const std::size_t start = m_pos;
        while (m_pos < m_text.size()) {
            const char d = m_text[m_pos];
            if (d == ',' || d == ')' || d == ' ' || d == '\t' || d == '(' || d == '[' || d == '{'
                || d == '\'' || d == '"' || m_text.substr(m_pos, 2) == "=>")
                break;
            ++m_pos;
        }
        if (m_pos == start)
            return false;
        item = std::string(m_text.substr(start, m_pos - start));
        if (item == "undef")
            item.clear();
        return true;
    }
    bool quotedString(std::string &item)
    {
        const char quote = m_text[m_pos++];
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == quote)
                return true;
            if (c == '\\' && m_pos < m_text.size()) {
                const char next = m_text[m_pos++];
                // In single quotes only \\ and \' are escapes; keep other backslashes.
                if (quote == '\'' && next != '\\' && next != '\'')
                    item += '\\';
                item += next;
                continue;
            }
            item += c;
        }
        return false;
    }
    // A bracketed list or hash, skipped whole; quotes inside may hold brackets.
    bool skipNested()
    {
        int depth = 0;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\'' || c == '"') {
                std::string ignored;
                if (!quotedString(ignored))
                    return false;
                continue;
            }
            ++m_pos;
            if (c == '[' || c == '{' || c == '(')
                ++depth;
            else if (c == ']' || c == '}' || c == ')')
                if (--depth == 0)
                    return true;
        }
        return false;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

// The statement's name ("x" of "@x = (...)") and the text after '='.
bool statement(std::string_view text, std::string &name, std::string_view &value)
{
    text = scan::trim(text);
    if (text.empty() || (text[0] != '$' && text[0] != '@' && text[0] != '%'))
        return false;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return false;
    name = std::string(scan::trim(text.substr(1, equals - 1)));
    value = scan::trim(text.substr(equals + 1));
    return true;
}

Outcome<std::vector<double>> numbers(
    const Line &line, const std::string &name, const std::string &what)
{
    std::string key;
    std::string_view value;
    statement(line.text, key, value);
    std::vector<std::string> items;
    if (!ListParser(value).parse(items, maxPoints))
        return Error { name, line.number,
            what + ": not a list of at most " + std::to_string(maxPoints) + " numbers" };
    std::vector<double> out;
    out.reserve(items.size());
    for (const auto &item : items) {
        double number = 0;
        if (!scan::parseNumber(scan::trim(item), number) || !std::isfinite(number))
            return Error { name, line.number,
                what + ": " + scan::quoted(item) + " is not a finite number" };
        out.push_back(number);
    }
    return out;
}

std::string groupList(const std::vector<std::string> &labels)
{
    std::string list;
    const std::size_t shown = std::min<std::size_t>(labels.size(), 20);
    for (std::size_t i = 0; i < shown; ++i)
        list += (i ? ", " : "") + scan::quoted(labels[i], 60);
    if (labels.size() > shown)
        list += " and " + std::to_string(labels.size() - shown) + " more";
    return list;
}

} // namespace

namespace xafs {

Outcome<Spectrum> readAthenaProject(
    std::string_view bytes, const std::string &name, const std::string &group)
{
    std::string unpacked;
    if (isGzip(bytes)) {
        auto text = gunzip(bytes, name, maxUnpackedBytes);
        if (!text)
            return text.error();
        unpacked = std::move(text.value());
        bytes = unpacked;
    }
    scan::LineReader lines(bytes);
    Line line;
    if (!lines.next(line) || line.text.find("Athena project file -- ") == std::string_view::npos)
        return Error { name, 1,
            "not an Athena project: the first line does not say 'Athena project file --'" };

    std::vector<Record> records;
    Record current;
    std::string key;
    std::string_view value;
    while (lines.next(line)) {
        if (scan::startsWith(scan::trim(line.text), "[record]")) {
            if (records.size() == maxGroups)
                return Error { name, line.number,
                    "more than " + std::to_string(maxGroups) + " groups: not an Athena project" };
            records.push_back(std::move(current));
            current = Record();
            continue;
        }
        if (!statement(line.text, key, value))
            continue;
        if (key == "old_group") {
            std::vector<std::string> items;
            // A scalar: '$old_group = 'wosk';' - read it as a one-element list.
            const std::string wrapped = "(" + std::string(value.substr(0, value.find(';'))) + ")";
            if (ListParser(wrapped).parse(items, 1) && !items.empty())
                current.name = items[0];
        } else if (key == "args") {
            std::vector<std::string> items;
            if (!ListParser(value).parse(items, 100000))
                return Error { name, line.number, "the group's @args is not a list Athena writes" };
            for (std::size_t i = 0; i + 1 < items.size(); i += 2)
                current.args.emplace(items[i], items[i + 1]);
        } else if (key == "x") {
            current.x = line;
            current.haveX = true;
        } else if (key == "y") {
            current.y = line;
            current.haveY = true;
        }
    }
    if (records.empty())
        return Error { name, 0, "an Athena project without groups" };

    Spectrum spectrum;
    spectrum.format = "Athena project";
    for (const auto &record : records)
        spectrum.groups.push_back(record.label());

    const Record *chosen = nullptr;
    if (!group.empty()) {
        for (const auto &record : records)
            if (record.label() == group) {
                chosen = &record;
                break;
            }
        if (!chosen)
            for (const auto &record : records)
                if (scan::lower(scan::trim(record.label())) == scan::lower(scan::trim(group))) {
                    chosen = &record;
                    break;
                }
        if (!chosen)
            return Error { name, 0,
                "no group labelled " + scan::quoted(group, 60)
                    + " (the groups: " + groupList(spectrum.groups) + ")" };
    } else {
        for (const auto &record : records)
            if (record.kind() == "mu" || record.kind() == "chi") {
                chosen = &record;
                break;
            }
        if (!chosen)
            return Error { name, 0,
                "no group holds mu(E) or chi(k) (the groups: " + groupList(spectrum.groups) + ")" };
    }

    const std::string label = chosen->label();
    const std::string kind = chosen->kind();
    if (kind != "mu" && kind != "chi")
        return Error { name, 0,
            "group " + scan::quoted(label, 60) + " holds " + kind + " data, not mu(E) or chi(k)" };
    if (!chosen->haveX || !chosen->haveY)
        return Error { name, 0,
            "group " + scan::quoted(label, 60) + " holds no data (no @x and @y)" };
    auto x = numbers(chosen->x, name, "group " + scan::quoted(label, 60) + ", @x");
    if (!x)
        return x.error();
    auto y = numbers(chosen->y, name, "group " + scan::quoted(label, 60) + ", @y");
    if (!y)
        return y.error();
    if (x->size() != y->size())
        return Error { name, chosen->y.number,
            "group " + scan::quoted(label, 60) + ": @x has " + std::to_string(x->size())
                + " values, @y " + std::to_string(y->size()) };
    if (x->empty())
        return Error { name, chosen->x.number,
            "group " + scan::quoted(label, 60) + " holds no data points" };

    spectrum.kind = kind == "chi" ? Spectrum::Kind::Chi : Spectrum::Kind::Mu;
    spectrum.group = label;
    spectrum.columns = kind == "chi" ? "chi(k)" : "mu(E)";
    spectrum.x = std::move(x.value());
    spectrum.y = std::move(y.value());
    spectrum.merged = sortAndMerge(spectrum.x, spectrum.y, &spectrum.reordered);
    return spectrum;
}

} // namespace xafs
