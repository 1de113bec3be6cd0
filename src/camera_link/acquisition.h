// The acquire switch of the current slot, and the pause of acquisition around writes to the camera.
#pragma once

#include <cstdint>

#include "camera_link/acquisition_host.h"
#include "camera_link/console_state.h"
#include "camera_link/driver_calls.h"
#include "platform/delay_service.h"

namespace kestrom {

// Main thread; every operation acts on the current slot unless it is given one.
class Acquisition {
public:
    Acquisition(ConsoleState& state, DriverCalls& calls, DelayService& delay, AcquisitionHost& host)
        : state_(state), calls_(calls), delay_(delay), host_(host) {}

    // Sets AcquireState, sends it to the camera and reads it back.
    void SetAcquire(std::int32_t value);
    // Reads the camera's acquire state into AcquireState; a value other than 0 or 1 gives a
    // history line and 0.
    std::int32_t GetAcquire();
    // Saves the acquire state, pauses the thread, lets the frame in flight finish, switches off.
    // Nests; nothing on the History tab.
    void SuspendAcquisition();
    // Restores the last saved state. When the acquire request closed the camera, Paused stays set.
    void ResumeAcquisition();
    // The same on a given slot, whatever tab is shown (the maintenance dialogs' own camera).
    void SuspendAcquisition(int slot);
    void ResumeAcquisition(int slot);

private:
    void setAcquireOn(int slot, std::int32_t value);
    std::int32_t getAcquireOn(int slot);

    ConsoleState& state_;
    DriverCalls& calls_;
    DelayService& delay_;
    AcquisitionHost& host_;
};

}  // namespace kestrom
