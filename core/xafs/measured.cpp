#include "measured.h"

#include "columns.h"
#include "textscan.h"
#include "unpack.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>

namespace {

using namespace xafs;
using xafs::table::fail;

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
