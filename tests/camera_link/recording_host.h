// A window stand-in that records what the camera link asks of it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "camera_link/acquisition_host.h"
#include "camera_link/console_state.h"
#include "camera_link/driver_calls.h"
#include "platform/device_io.h"

namespace kestrom::test {

class RecordingHost : public AcquisitionHost, public DriverCallsHost {
public:
    RecordingHost(ConsoleState& state, DeviceIo& io) : state_(state), io_(io) {}

    void showFrameCounters(std::int32_t frameCount, std::int32_t transferEfficiency) override {
        counters.emplace_back(frameCount, transferEfficiency);
    }
    void showConsoleBlock() override { ++consoleBlockShown; }
    void refreshCalibrateButtonColour() override { ++calibrateColourRefreshed; }
    void setHourglass(bool on) override { hourglass.push_back(on); }
    void enableSetupFileMenus(bool) override {}

    // What the console's close does to the slot: stack emptied, device closed, History tab shown.
    void closeCurrentCamera() override { closeCamera(state_.currentSlot); }
    void closeCamera(int index) override {
        CameraSlot& slot = state_.slots[static_cast<std::size_t>(index)];
        slot.SavedAcquireStates.clear();
        io_.close(slot.Device.exchange(kNoDevice));
        state_.currentSlot = 0;
        ++closes;
    }

    std::vector<std::pair<std::int32_t, std::int32_t>> counters;
    int consoleBlockShown = 0;
    int calibrateColourRefreshed = 0;
    std::vector<bool> hourglass;
    int closes = 0;

private:
    ConsoleState& state_;
    DeviceIo& io_;
};

}  // namespace kestrom::test
