// The lines at the top of a printout, which say what the page shows: the camera, when it was
// printed, how the camera was set for the frame and how the viewer treated it.
#pragma once

#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "viewer/core/log_settings.h"
#include "viewer/core/results.h"

namespace kestrom {

struct PrintoutFacts {
    std::string caption;    // the viewer's caption: its camera's tab (the alias) and serial
    LogTime printedAt{};
    ConsoleBlock settings;  // the camera's status block that came with the frame
    WidthMethod widthMethod = WidthMethod::KnifeEdge;
    int averageOf = 0;      // N of "Avg" or "Sum", 0 when each frame is shown as it comes
    int sumOf = 0;
    bool calibrated = false;
    std::string unitsText;  // the calibration's units, beginning with a space
};

// The caption first, then "Printed 2026-12-11 14:30:05" (local time), the camera's method, gain
// and corrections, and the width method with the frames the image is made of.
std::vector<std::string> printoutHeaderLines(const PrintoutFacts& facts);

}  // namespace kestrom
