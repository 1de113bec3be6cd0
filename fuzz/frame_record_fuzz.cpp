// libFuzzer entry point: arbitrary bytes into the frame-record reader and the header-text reader; a
// broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/frame_record_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::frameRecordFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "frame record reader: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
