// The console's key paths: control key, per-camera keys, and the keys of the outside programs.
#pragma once

#include <cstdint>
#include <string>

namespace kestrom {

inline constexpr const char* kKestromKey = "\\Software\\Vantrel\\Kestrom3\\";
inline constexpr const char* kControlKey = "\\Software\\Vantrel\\Kestrom3\\Control\\";
inline constexpr const char* kOruPcKey = "\\Software\\Vantrel\\OruPC";
inline constexpr const char* kOruM2Key = "\\Software\\Vantrel\\OruM2";

// The control key, the serial number in unsigned decimal without leading zeros, and "\".
inline std::string cameraKey(std::uint32_t serial) {
    return std::string(kControlKey) + std::to_string(serial) + "\\";
}

}  // namespace kestrom
