// Device names and system error texts for the driver boundary.
#include "platform/device_io.h"

#include <cstring>

namespace kestrom {

std::string systemErrorText(int error) {
    if (error == 0) return {};
    return std::strerror(error);
}

std::string deviceName(int index) { return "\\\\.\\Kestrom" + std::to_string(index); }

}  // namespace kestrom
