// Each camera's list of the last five setup files loaded or saved, "MRL1" (newest) to "MRL5".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/core/reg_ctl.h"

namespace kestrom {

inline constexpr int kRecentSetupFileCount = 5;

// regCtl is pointed at the camera key for the access and back at the control key afterwards,
// also when the access fails. Every registry failure throws RegistryError.

// Moves file to the front of the camera's list (exact, case-sensitive match), drops empty
// entries and keeps five; entries beyond the new list's length are left as they were.
void RecordSetupFile(TRegCtl& regCtl, std::uint32_t serial, const std::string& file);

// "MRL1" to "MRL5" as stored, empty entries included.
std::vector<std::string> readRecentSetupFiles(TRegCtl& regCtl, std::uint32_t serial);

// "MRL1": the file a camera loads when it is opened; empty when there is none.
std::string lastSetupFile(TRegCtl& regCtl, std::uint32_t serial);

}  // namespace kestrom
