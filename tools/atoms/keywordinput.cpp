#include "keywordinput.h"

#include "elements.h"
#include "spacegroups.h"
#include "textutil.h"

#include <cctype>
#include <map>

namespace atoms {

struct KeywordToken
{
    std::string text;
    std::size_t end = 0;
};

// "!" starts a comment anywhere, "#" and "%" at the start of a line.
static std::string withoutComment(const std::string &line)
{
    std::string text = line.substr(0, line.find('!'));
    const auto first = text.find_first_not_of(" \t\r");
    if (first != std::string::npos && (text[first] == '#' || text[first] == '%'))
        return std::string();
    return text;
}

static bool isSeparator(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) || c == '=' || c == ',';
}

static std::vector<KeywordToken> tokenize(const std::string &line)
{
    std::vector<KeywordToken> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && isSeparator(line[pos]))
            ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && !isSeparator(line[pos]))
            ++pos;
        if (pos > start)
            tokens.push_back({ line.substr(start, pos - start), pos });
    }
    return tokens;
}

static std::string tokenText(
    const std::vector<KeywordToken> &tokens, std::size_t from, std::size_t to)
{
    std::vector<std::string> words;
    for (std::size_t i = from; i < to && i < tokens.size(); ++i)
        words.push_back(tokens[i].text);
    return joined(words, " ");
}

static bool isEdgeName(const std::string &edge)
{
    const std::string e = toLower(edge);
    return e == "k" || e == "l1" || e == "l2" || e == "l3";
}

bool isAtomsKeyword(const std::string &word)
{
    static const char *const keywords[] = { "title", "space", "a", "b", "c", "alpha", "beta",
        "gamma", "rmax", "core", "edge", "atoms", "atom" };
    const std::string lower = toLower(word);
    for (const char *keyword : keywords)
        if (lower == keyword)
            return true;
    return false;
}

Crystal parseKeywordInput(const std::string &text)
{
    Crystal crystal;
    crystal.format = "Atoms keyword input";
    std::map<std::string, double> numbers;
    std::string spaceName;
    bool atomList = false;
    bool extraColumns = false;

    std::size_t lineStart = 0;
    for (int lineNumber = 1; lineStart <= text.size(); ++lineNumber) {
        auto lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        const std::string line = withoutComment(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        const std::vector<KeywordToken> tokens = tokenize(line);
        if (tokens.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";

        if (atomList) {
            if (tokens.size() < 4)
                throw InputError(
                    where + "expected 'element x y z [tag]', not '" + asciiLine(line, 40) + "'");
            Site site;
            site.z = elementNumber(tokens[0].text);
            if (site.z == 0)
                throw InputError(where + "unknown element '" + asciiLine(tokens[0].text, 20) + "'");
            for (int i = 0; i < 3; ++i) {
                const auto value = parseNumber(tokens[i + 1].text);
                if (!value)
                    throw InputError(where + "coordinate '" + asciiLine(tokens[i + 1].text, 20)
                        + "' is not a number");
                site.frac[i] = *value;
            }
            site.label = tokens.size() > 4 ? asciiLine(tokens[4].text, 20) : elementSymbol(site.z);
            extraColumns = extraColumns || tokens.size() > 5;
            crystal.sites.push_back(site);
            continue;
        }

        std::size_t i = 0;
        while (i < tokens.size()) {
            const std::string keyword = toLower(tokens[i].text);
            const bool hasValue = i + 1 < tokens.size();
            if (keyword == "atoms" || keyword == "atom") {
                atomList = true;
                if (hasValue)
                    crystal.notes.push_back(where + "ignored '"
                        + tokenText(tokens, i + 1, tokens.size()) + "' after '" + tokens[i].text
                        + "'");
                break;
            }
            if (keyword == "title") {
                std::string rest = line.substr(tokens[i].end);
                const auto first = rest.find_first_not_of(" \t=,");
                crystal.titles.push_back(
                    asciiLine(first == std::string::npos ? "" : rest.substr(first), 70));
                break;
            }
            if (keyword == "space") {
                if (!hasValue)
                    throw InputError(where + "'" + tokens[i].text + "' needs a value");
                // The name runs to the longest run of words that is a space group and is
                // followed by a keyword or the line end: "p c a 21 a 5.1" is P c a 21.
                std::size_t end = tokens.size();
                for (; end > i + 1; --end)
                    if ((end == tokens.size() || isAtomsKeyword(tokens[end].text))
                        && findSpaceGroup(tokenText(tokens, i + 1, end)))
                        break;
                if (end == i + 1) {
                    std::size_t stop = i + 1;
                    while (stop < tokens.size() && !isAtomsKeyword(tokens[stop].text))
                        ++stop;
                    throw InputError(where + "unknown space group '"
                        + asciiLine(tokenText(tokens, i + 1, stop), 40) + "'");
                }
                spaceName = tokenText(tokens, i + 1, end);
                i = end;
                continue;
            }
            if (isAtomsKeyword(keyword)) {
                // No keyword test on the value: "core = B" names a boron site.
                if (!hasValue)
                    throw InputError(where + "'" + tokens[i].text + "' needs a value");
                const std::string &value = tokens[i + 1].text;
                if (keyword == "core") {
                    crystal.core = asciiLine(value, 20);
                } else if (keyword == "edge") {
                    if (!isEdgeName(value))
                        throw InputError(where + "unknown edge '" + asciiLine(value, 20)
                            + "' (K, L1, L2 or L3)");
                    crystal.edge = value;
                } else {
                    const auto number = parseNumber(value);
                    if (!number)
                        throw InputError(where + "'" + tokens[i].text + "' needs a number, not '"
                            + asciiLine(value, 20) + "'");
                    numbers[keyword] = *number;
                }
                i += 2;
                continue;
            }
            std::size_t stop = i + 1;
            while (stop < tokens.size() && !isAtomsKeyword(tokens[stop].text))
                ++stop;
            crystal.notes.push_back(where + "ignored '" + asciiLine(tokenText(tokens, i, stop), 60)
                + "' (not a keyword this converter uses)");
            i = stop;
        }
    }

    if (!atomList)
        throw InputError("no atoms: the file has no 'atoms' list");
    if (crystal.sites.empty())
        throw InputError("no atoms listed after 'atoms'");
    if (extraColumns)
        crystal.notes.push_back("ignored columns after the tag in the atoms list");
    if (!numbers.count("a"))
        throw InputError("no unit cell: keyword 'a' is missing");
    Cell &cell = crystal.cell;
    cell.a = numbers["a"];
    cell.b = numbers.count("b") ? numbers["b"] : cell.a;
    cell.c = numbers.count("c") ? numbers["c"] : cell.a;
    for (auto [keyword, angle] : { std::make_pair("alpha", &cell.alpha),
             std::make_pair("beta", &cell.beta), std::make_pair("gamma", &cell.gamma) })
        if (numbers.count(keyword))
            *angle = numbers[keyword];
    const std::string problem = cell.problem();
    if (!problem.empty())
        throw InputError("bad unit cell: " + problem);
    if (numbers.count("rmax")) {
        crystal.rmax = numbers["rmax"];
        if (crystal.rmax <= 0)
            throw InputError("rmax " + shortNumber(crystal.rmax) + " is not positive");
    }

    if (spaceName.empty()) {
        crystal.spaceGroup = "P 1";
        crystal.notes.insert(
            crystal.notes.begin(), "no 'space' keyword; taking the atoms as they are (P 1)");
    } else {
        const auto group = findSpaceGroup(spaceName, cell.alpha, cell.gamma);
        if (!group)
            throw InputError("unknown space group '" + asciiLine(spaceName, 40) + "'");
        crystal.spaceGroup = group->name;
        crystal.ops = group->ops;
        if (!group->note.empty())
            crystal.notes.insert(crystal.notes.begin(), group->note);
        crystal.notes.insert(crystal.notes.begin(),
            "space group " + group->name + " (from 'space " + asciiLine(spaceName, 40) + "')");
    }
    crystal.name = crystal.titles.empty() ? std::string() : crystal.titles.front();
    return crystal;
}

} // namespace atoms
