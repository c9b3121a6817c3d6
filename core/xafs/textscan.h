#ifndef XAFS_TEXTSCAN_H
#define XAFS_TEXTSCAN_H

// Small pieces the readers of measured files share: lines of any ending, numbers in the
// C locale (Fortran's D exponent too), and text fit for a message.

#include <string>
#include <string_view>
#include <vector>

namespace xafs::scan {

struct Line
{
    std::string_view text;
    long number = 0; // 1-based
    std::size_t offset = 0; // of its first byte in the text
};

// Lines ended by \n, \r\n or a lone \r.
class LineReader
{
public:
    explicit LineReader(std::string_view text)
        : m_text(text)
    {
    }
    bool next(Line &line);
    std::size_t offset() const { return m_pos; }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    long m_number = 0;
};

std::string_view trim(std::string_view text);
std::string lower(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWithNoCase(std::string_view text, std::string_view suffix);

// Words separated by blanks, tabs or commas; at most maxWords (more: returns false).
bool splitWords(std::string_view text, std::vector<std::string_view> &words, std::size_t maxWords);

// Words separated by white space, as a stream reads them.
std::vector<std::string> words(const std::string &line);

// A whole word as a number: optional sign, digits, point, exponent (E or D). Infinite and
// not-a-number values parse (the caller decides).
bool parseNumber(std::string_view word, double &value);

// Text quoted for a message: at most maxChars characters, bytes outside printable ASCII
// shown as '?'.
std::string quoted(std::string_view text, std::size_t maxChars = 40);

// A number as a short text, "%g" with the given precision, in the C locale.
std::string number(double value, int precision = 6);

} // namespace xafs::scan

#endif
