// Debug output to standard error, on request.
#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>

namespace kestrom {

DebugOutput defaultDebugOutput() {
    if (std::getenv("KESTROM_DEBUG_OUTPUT") == nullptr) return [](const std::string&) {};
    return [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
}

}  // namespace kestrom
