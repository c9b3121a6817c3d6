#include "structurefile.h"

#include "cifreader.h"
#include "keywordinput.h"
#include "textutil.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace atoms {

// The largest input read; a structure file is a few kilobytes, and a device or a runaway
// file must not exhaust the memory.
static const std::uintmax_t largestInput = 64u << 20;

std::string readFile(const std::string &path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw InputError("is a directory, not a file");
    // A FIFO or a device would block the read or never end it.
    const auto status = std::filesystem::status(path, error);
    if (!error && !std::filesystem::is_regular_file(status))
        throw InputError("is not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > largestInput)
        throw InputError("is larger than 64 MB (" + std::to_string(size >> 20) + " MB)");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw InputError(std::string("cannot open the file: ") + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw InputError("cannot read the file");
    return bytes.str();
}

InputFormat detectFormat(const std::string &text)
{
    bool keywords = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word))
            continue;
        const std::string lower = toLower(word);
        if (lower.rfind("data_", 0) == 0)
            return InputFormat::Cif;
        const std::string keyword = lower.substr(0, lower.find_first_of("=,"));
        if (keyword == "atoms" || keyword == "atom" || keyword == "title" || keyword == "space")
            keywords = true;
    }
    return keywords ? InputFormat::Keywords : InputFormat::Unknown;
}

Crystal readStructure(const std::string &text, const std::string &fileName)
{
    if (text.find('\0') != std::string::npos)
        throw InputError("not a text file");
    if (trimmed(text).empty())
        throw InputError("the file is empty");
    std::string body = text;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0)
        body.erase(0, 3);
    switch (detectFormat(body)) {
    case InputFormat::Cif:
        return readCif(body, fileName);
    case InputFormat::Keywords:
        return parseKeywordInput(body);
    case InputFormat::Unknown:
        break;
    }
    throw InputError("neither a CIF (no data_ block) nor an Atoms keyword input (no 'atoms' list)");
}

} // namespace atoms
