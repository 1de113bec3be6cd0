// libFuzzer entry point: arbitrary bytes into the palette-file reader and the palette's text lines;
// a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/palette_input_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::paletteInputFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "palette readers: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
