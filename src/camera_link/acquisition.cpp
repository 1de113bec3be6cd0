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

void Acquisition::SetAcquire(std::int32_t value) { setAcquireOn(state_.currentSlot, value); }

std::int32_t Acquisition::GetAcquire() { return getAcquireOn(state_.currentSlot); }

void Acquisition::SuspendAcquisition() { SuspendAcquisition(state_.currentSlot); }

void Acquisition::ResumeAcquisition() { ResumeAcquisition(state_.currentSlot); }

void Acquisition::setAcquireOn(int slot, std::int32_t value) {
    host_.setHourglass(true);
    CameraSlot& s = state_.slots[static_cast<std::size_t>(slot)];
    s.AcquireState.store(value);
    calls_.ShortIOOnSlot(req::SetAcquire, slot, value);
    getAcquireOn(slot);
    wakeThread(s);
    host_.setHourglass(false);
}

std::int32_t Acquisition::getAcquireOn(int slot) {
    std::int32_t value = calls_.ShortIOOnSlot(req::GetAcquire, slot, 0);
    state_.slots[static_cast<std::size_t>(slot)].AcquireState.store(value);
    if (value != 0 && value != 1) {
        state_.history.appendRaw(std::to_string(slot) + " Read of invalid acquire on/off value: " +
                                 std::to_string(value));
        return 0;
    }
    if (slot == state_.currentSlot) host_.refreshCalibrateButtonColour();
    return value;
}

void Acquisition::SuspendAcquisition(int slot) {
    if (slot <= 0 || !state_.validSlot(slot)) return;
    CameraSlot& s = state_.slots[static_cast<std::size_t>(slot)];
    std::int32_t saved = getAcquireOn(slot);
    s.SavedAcquireStates.push_back(saved);
    s.Paused.store(true);
    delay_.wait(kSettleMilliseconds);
    setAcquireOn(slot, 0);
}

void Acquisition::ResumeAcquisition(int slot) {
    if (slot <= 0 || !state_.validSlot(slot)) return;
    CameraSlot& s = state_.slots[static_cast<std::size_t>(slot)];
    if (s.SavedAcquireStates.empty()) return;
    std::int32_t restored = s.SavedAcquireStates.back();
    setAcquireOn(slot, restored);
    // A failed acquire request has closed the camera (which forgets the saved states): the slot
    // stays paused.
    if (s.SavedAcquireStates.empty()) return;
    s.Paused.store(restored == 0);
    s.SavedAcquireStates.pop_back();
    wakeThread(s);
}

}  // namespace kestrom
