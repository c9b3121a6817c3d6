#include "textscan.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace xafs::scan {

bool LineReader::next(Line &line)
{
    if (m_pos >= m_text.size())
        return false;
    const std::size_t start = m_pos;
    std::size_t end = m_text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
        end = m_text.size();
        m_pos = end;
    } else if (m_text[end] == '\r' && end + 1 < m_text.size() && m_text[end + 1] == '\n') {
        m_pos = end + 2;
    } else {
        m_pos = end + 1;
    }
    line.text = m_text.substr(start, end - start);
    line.number = ++m_number;
    line.offset = start;
    return true;
}

std::string_view trim(std::string_view text)
{
    const char *blanks = " \t\f\v";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size()
        && lower(text.substr(text.size() - suffix.size())) == lower(suffix);
}

bool splitWords(std::string_view text, std::vector<std::string_view> &words, std::size_t maxWords)
{
    words.clear();
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto separator
        = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '\f' || c == '\v'; };
    while (i < n) {
        while (i < n && separator(text[i]))
            ++i;
        if (i >= n)
            break;
        const std::size_t start = i;
        while (i < n && !separator(text[i]))
            ++i;
        if (words.size() == maxWords)
            return false;
        words.push_back(text.substr(start, i - start));
    }
    return true;
}

bool parseNumber(std::string_view word, double &value)
{
    if (word.empty() || word.size() > 64)
        return false;
    char buffer[66];
    std::size_t n = 0;
    std::size_t i = 0;
    if (word[0] == '+')
        i = 1;
    for (; i < word.size(); ++i) {
        char c = word[i];
        if (c == 'D' || c == 'd')
            c = 'e';
        buffer[n++] = c;
    }
    if (n == 0)
        return false;
    const auto result = std::from_chars(buffer, buffer + n, value);
    return result.ec == std::errc() && result.ptr == buffer + n;
}

std::string quoted(std::string_view text, std::size_t maxChars)
{
    std::string out = "'";
    const std::size_t n = std::min(text.size(), maxChars);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 0x20 && c < 0x7f) ? char(c) : '?';
    }
    if (text.size() > maxChars)
        out += "...";
    return out + "'";
}

std::string number(double value, int precision)
{
    // to_chars ignores the locale that a Qt program sets from the environment.
    char buffer[64];
    const auto result = std::to_chars(
        buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return std::string(buffer, result.ptr);
}

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

} // namespace xafs::scan
