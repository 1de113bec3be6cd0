// What the acquisition thread and the acquire switch need of the window that shows the camera.
#pragma once

#include <cstdint>

namespace kestrom {

class AcquisitionHost {
public:
    virtual ~AcquisitionHost() = default;
    // The current tab's "Frame count:" and "Xfr Efficiency" labels.
    virtual void showFrameCounters(std::int32_t frameCount, std::int32_t transferEfficiency) = 0;
    // Status refresh of the current tab from the held ConsoleBlock.
    virtual void showConsoleBlock() = 0;
    // The Calibrate button's colour follows the held status flags.
    virtual void refreshCalibrateButtonColour() = 0;
    // On: show the hourglass and remember the cursor found; off: restore that cursor.
    virtual void setHourglass(bool on) = 0;
};

}  // namespace kestrom
