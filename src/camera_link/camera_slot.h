// One camera slot of the console: the table of 11 is indexed like the main window's tabs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "camera_records/factory_info.h"
#include "platform/device_io.h"
#include "platform/window_messages.h"

namespace kestrom {

class CameraDriver;

inline constexpr int kSlotCount = 11;
// Slots 1..4 have a camera tab; slot 0 is the History tab; 5..10 never hold a camera.
inline constexpr int kFirstCameraSlot = 1;
inline constexpr int kLastCameraSlot = 4;

struct CameraSlot {
    // Fields the acquisition thread reads without a lock are atomic; the main thread writes them.
    std::string DevicePath;
    std::atomic<DeviceHandle> Device{kNoDevice};
    std::atomic<CameraDriver*> Thread{nullptr};
    std::atomic<std::int32_t> FrameCount{0};
    std::atomic<std::int32_t> AcquireState{0};
    std::vector<std::int32_t> SavedAcquireStates;
    std::atomic<bool> Paused{false};
    bool SettingsChanged = false;
    std::uint32_t Serial = 0;
    // This camera's own records, whichever camera was read last: its frame block and the command
    // block's answers about it carry these. The console block follows its frames. Main thread.
    FactoryInfo Factory;
    ConsoleBlock Console;
    WindowHandle OruWindow = 0;
    WindowHandle SkeldWindow = 0;
    std::string SetupFile;
    bool Locked = false;
    bool hasTab = false;   // slots 0..4 have a tab sheet

    bool hasDevice() const { return Device.load() != kNoDevice; }
};

}  // namespace kestrom
