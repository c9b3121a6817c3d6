// Arbitrary bytes as a measured spectrum, read by one reader: XDI (FUZZ_XDI), an Athena
// project (FUZZ_ATHENA) or columns (otherwise, through readMeasured, which also unpacks
// gzip); chi(k) is then derived from what was read. Aborts on anything the plot could not
// trust: unsorted or non-finite points, an error that names no file, a chi(k) off its grid.
#include "background.h"
#include "measured.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::string name = "fuzz.dat";
#if defined(FUZZ_XDI)
    const auto read = xafs::readXdi(bytes, name);
#elif defined(FUZZ_ATHENA)
    const auto read = xafs::readAthenaProject(bytes, name, size % 2 ? std::string("feo") : std::string());
#else
    xafs::ReadOptions options;
    if (size % 3 == 0)
        options.columns = xafs::parseColumnChoice("1,2/3,ln").value();
    const auto read = xafs::readMeasured(bytes, name, options);
#endif
    if (!read) {
        check(read.error().file == name && !read.error().reason.empty());
        return 0;
    }
    const xafs::Spectrum &s = read.value();
    check(!s.x.empty() && s.x.size() == s.y.size());
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        check(std::isfinite(s.x[i]) && std::isfinite(s.y[i]));
        check(i == 0 || s.x[i] > s.x[i - 1]);
    }
    const auto chi = xafs::deriveChi(s, name, xafs::BkgParams());
    if (!chi) {
        check(chi.error().file == name && !chi.error().reason.empty());
        return 0;
    }
    check(!chi->k.empty() && chi->k.size() == chi->chi.size());
    for (std::size_t i = 0; i < chi->k.size(); ++i)
        check(std::isfinite(chi->chi[i]) && std::abs(chi->k[i] - chi->k[0] - 0.05 * double(i)) < 1e-9);
    check(!xafs::chiFileText(chi.value()).empty());
    return 0;
}
