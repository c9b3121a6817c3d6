// Arbitrary bytes as the converter's input, read either as a CIF (FUZZ_CIF) or as an Atoms
// keyword file, and converted to feff.inp when they describe a structure: one input, then
// one per site and configuration.
#include "cifreader.h"
#include "converter.h"
#include "keywordinput.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    // Errors in the input are the converter's business; anything else escapes and is a fault.
    try {
#ifdef FUZZ_CIF
        const atoms::Crystal crystal = atoms::readCif(text, "fuzz.cif");
#else
        const atoms::Crystal crystal = atoms::parseKeywordInput(text);
#endif
        std::ostringstream out;
        atoms::convertCrystal(crystal, "fuzz", atoms::Options(), out);
        // Every site of the absorber's element, with disorder drawn.
        atoms::Options several;
        several.allSites = true;
        several.configurations = 2;
        atoms::convertCrystal(crystal, "fuzz", several, out);
    } catch (const atoms::InputError &) {
    }
    return 0;
}
