// What the view window remembers per camera: its data folder, where it stood, and what it showed.
#pragma once

#include <string>

#include "common/reg_util.h"
#include "platform/registry_store.h"

namespace kestrom {

// The key of a camera's viewer: this followed by the serial-number display's text.
inline constexpr const char* kViewerKeyBase = "\\Software\\Vantrel\\Kestrom3\\Viewer\\";

struct ViewerSettings {
    std::string dataPath;  // ends with a path separator when set
    int left = 0;
    int top = 0;
    int height = 560;
    int width = 429;
    bool results = false;
    bool crosshair = false;
    bool cursor = false;
    bool aperture = false;
    bool colorBar = false;
    bool showColor = true;
    bool hasLens = false;
    int widthMethod = 0;         // 0 the knife edge, 1 the second moments
    int statisticsFrames = 100;  // the statistics window's N

    friend bool operator==(const ViewerSettings&, const ViewerSettings&) = default;
};

// Each value that is missing, or of another type, keeps what defaults holds.
ViewerSettings readViewerSettings(RegistryStore& store, const std::string& serialText,
                                  const ViewerSettings& defaults);

// All values in one write of the settings file, so that a failure leaves none of them half
// written; the failure is returned for the caller to ignore or report.
RegistryWriteError writeViewerSettings(RegistryStore& store, const std::string& serialText,
                                       const ViewerSettings& settings);

}  // namespace kestrom
