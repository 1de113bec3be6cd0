// libFuzzer entry point: arbitrary bytes into the bad-pixel file reader, the camera's bad-pixel
// map decoder and the gain-map file reader; a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/map_file_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::mapFileFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "map readers: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
