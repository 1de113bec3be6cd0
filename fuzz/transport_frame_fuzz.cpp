// libFuzzer entry point: arbitrary bytes into the message socket's frame decoder; a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/frame_stream_fault.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::frameStreamFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "frame decoder: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
