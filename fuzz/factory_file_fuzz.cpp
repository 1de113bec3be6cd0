// libFuzzer entry point: arbitrary bytes into the ".FAC" reader with the record's form, and into
// the thermal-file reader; a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/factory_file_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::factoryFileFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "factory file readers: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
