// What the console holds and the camera link works on: the slot table, the current slot,
// the records of the camera read last, the history and the console-wide flags.
#pragma once

#include <array>

#include "camera_link/camera_slot.h"
#include "camera_records/console_block.h"
#include "camera_records/factory_info.h"
#include "camera_link/history.h"

namespace kestrom {

struct ConsoleState {
    ConsoleState() : history([this] { return currentSlot; }) {
        for (int i = 0; i <= kLastCameraSlot; ++i) slots[i].hasTab = true;
    }
    ConsoleState(const ConsoleState&) = delete;
    ConsoleState& operator=(const ConsoleState&) = delete;

    std::array<CameraSlot, kSlotCount> slots;
    int currentSlot = 0;
    FactoryInfo factory;       // of the camera whose state was read last
    ConsoleBlock console;      // likewise; frames of the current slot replace it
    History history;

    bool closing = false;
    bool tabChangeAllowed = true;
    bool debugLogging = false;
    bool remoteChangeInProgress = false;
    bool setupLoadInProgress = false;
    bool refreshInProgress = false;
    bool updateGuard = false;
    bool privilegedMode = false;    // behind the Factory button's password

    CameraSlot& current() { return slots[static_cast<std::size_t>(currentSlot)]; }
    bool validSlot(int index) const { return index >= 0 && index < kSlotCount; }
};

}  // namespace kestrom
