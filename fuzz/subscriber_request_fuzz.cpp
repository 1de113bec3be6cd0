// libFuzzer entry point: arbitrary steps into a console's subscriber service; a broken rule aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/subscriber_request_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string fault = kestrom::fuzz::subscriberRequestFault(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "subscriber service: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
