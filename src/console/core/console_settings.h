// The console's own registry values: window bounds, sound switch, aliases, outside programs.
#pragma once

#include <cstdint>
#include <string>

#include "console/core/reg_ctl.h"
#include "common/reg_util.h"

namespace kestrom {

struct WindowBounds {
    int left = 0;
    int top = 0;
    int height = 0;
    int width = 0;
};

struct WindowSettings {
    bool soundOn = true;  // the tick of "&Sound On"
    WindowBounds bounds;
};

// First paint, through RegUtil1 (base key the control key) at its current root: absent values
// keep the window's current bounds and leave the sound on.
WindowSettings readWindowSettings(TRegUtil& regUtil1, const WindowBounds& current);

// Window close: the root is set to HKEY_CURRENT_USER first. A registry error is ignored here;
// the result only tells whether everything was stored.
bool storeWindowSettings(TRegUtil& regUtil1, const WindowSettings& settings);

// A camera's alias is the text value named after its serial number under the control key.
// regCtl is pointed at the control key. Both throw RegistryError.
std::string readCameraAlias(TRegCtl& regCtl, std::uint32_t serial);
// Stores the text as typed, unless it is blank once leading and trailing blanks are removed;
// returns whether it was stored.
bool storeCameraAlias(TRegCtl& regCtl, std::uint32_t serial, const std::string& typed);
// A camera tab's caption: the alias, or the serial number when there is none.
std::string cameraTabCaption(TRegCtl& regCtl, std::uint32_t serial);

// An outside program's path: from HKEY_LOCAL_MACHINE and, when empty there, from
// HKEY_CURRENT_USER, under util's base key. util's root is left at HKEY_CURRENT_USER.
// OruPC: TRegUtil at kOruPcKey, "EXEPath"; Skeld: kOruM2Key, "EXEPath".
std::string readProgramPath(TRegUtil& util, const std::string& valueName);
// The thermal viewer's "K3TVIEW", read through RegUtil1 moved to kKestromKey for the time of the
// read.
std::string thermalViewerPath(TRegUtil& regUtil1);

}  // namespace kestrom
