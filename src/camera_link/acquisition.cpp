// Acquire on/off, suspend and resume on the current slot.
#include "camera_link/acquisition.h"

#include <string>

#include "camera_link/camera_driver.h"

namespace kestrom {

namespace {

// A waiting thread should see a changed switch now, not at its next idle check. The thread object
// lives until the main thread reaps it, so using it here is safe.
void wakeThread(CameraSlot& slot) {
    if (CameraDriver* thread = slot.Thread.load()) thread->wake();
}

// Lets the frame that the thread may still be reading finish before acquisition goes off.
constexpr int kSettleMilliseconds = 500;

}  // namespace

void Acquisition::SetAcquire(std::int32_t value) {
    host_.setHourglass(true);
    state_.current().AcquireState.store(value);
    calls_.ShortIO(req::SetAcquire, value);
    GetAcquire();
    wakeThread(state_.current());
    host_.setHourglass(false);
}

std::int32_t Acquisition::GetAcquire() {
    std::int32_t value = calls_.ShortIO(req::GetAcquire, 0);
    state_.current().AcquireState.store(value);
    if (value != 0 && value != 1) {
        state_.history.append("Read of invalid acquire on/off value: " + std::to_string(value));
        return 0;
    }
    host_.refreshCalibrateButtonColour();
    return value;
}

void Acquisition::SuspendAcquisition() {
    if (state_.currentSlot == 0) return;
    // The slot as it is now: a failing request closes the camera and makes the History tab current.
    CameraSlot& slot = state_.current();
    std::int32_t saved = GetAcquire();
    slot.SavedAcquireStates.push_back(saved);
    slot.Paused.store(true);
    delay_.wait(kSettleMilliseconds);
    SetAcquire(0);
}

void Acquisition::ResumeAcquisition() {
    if (state_.currentSlot == 0 || state_.current().SavedAcquireStates.empty()) return;
    std::int32_t restored = state_.current().SavedAcquireStates.back();
    SetAcquire(restored);
    // A failed acquire request has closed the camera: the slot stays paused.
    if (state_.currentSlot == 0 || state_.current().SavedAcquireStates.empty()) return;
    CameraSlot& slot = state_.current();
    slot.Paused.store(restored == 0);
    slot.SavedAcquireStates.pop_back();
    wakeThread(slot);
}

}  // namespace kestrom
