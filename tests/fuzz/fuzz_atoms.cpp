// Arbitrary bytes as the converter's input, read either as a CIF (FUZZ_CIF) or as an Atoms
// keyword file, and converted to feff.inp when they describe a structure: one input, then
// one per site and configuration, for FEFF 6L, or for FEFF 8.5L when the input does not end
// in a newline.
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
    // The last byte picks the FEFF, so that the fuzzer reaches what only inputs for FEFF 8.5L
    // do (hydrogen left out, its limits) with any change at the end, while the committed
    // corpus, whose files end in a newline or are refused before the FEFF matters, replays
    // as it did.
    const bool feff8 = size > 0 && data[size - 1] != '\n';
    // Errors in the input are the converter's business; anything else escapes and is a fault.
    try {
#ifdef FUZZ_CIF
        const atoms::Crystal crystal = atoms::readCif(text, "fuzz.cif");
#else
        const atoms::Crystal crystal = atoms::parseKeywordInput(text);
#endif
        std::ostringstream out;
        atoms::Options one;
        one.feff = feff8 ? 8 : 6;
        atoms::convertCrystal(crystal, "fuzz", one, out);
        // Every site of the absorber's element, with disorder drawn.
        atoms::Options several = one;
        several.allSites = true;
        several.configurations = 2;
        atoms::convertCrystal(crystal, "fuzz", several, out);
    } catch (const atoms::InputError &) {
    }
    return 0;
}
