// libFuzzer entry point: arbitrary bytes into the text-log-record reader; a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/frame_csv_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::frameCsvFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "text log record reader: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
