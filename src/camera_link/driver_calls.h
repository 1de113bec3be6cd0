// The request wrappers of the console and the one rule by which a failed request is reported
// and its camera closed.
#pragma once

#include <cstdint>

#include "camera_link/console_state.h"
#include "camera_records/requests.h"
#include "platform/device_io.h"

namespace kestrom {

// What the wrappers need of the window that holds them.
class DriverCallsHost {
public:
    virtual ~DriverCallsHost() = default;
    virtual void closeCurrentCamera() = 0;      // the user's "C&lose camera"
    // The same for the camera of a slot that need not be the one shown.
    virtual void closeCamera(int slot) = 0;
    virtual void showConsoleBlock() = 0;        // status refresh of the current tab
    // "&Open setup file" and "Save setup &As..."; never offered for a fixed-configuration camera.
    virtual void enableSetupFileMenus(bool enabled) = 0;
};

// How a failed direct block request is reported and what it closes.
enum class BlockFailure {
    Console,        // slot number, name, text; closes and lets discovery reopen
    Maintenance,    // no slot number; closes and keeps DevicePath
    KeepPath,       // slot number, name, text; closes and keeps DevicePath (the thermal viewer's table)
    Upload,         // "<name> failed. " and the text; closes and lets discovery reopen
};

class DriverCalls {
public:
    DriverCalls(ConsoleState& state, DeviceIo& io, DriverCallsHost& host) : state_(state), io_(io), host_(host) {}

    std::int32_t ShortIO(const Request& request, std::int32_t value);
    // ShortIO on a given slot's camera, with ShortIO's failure rule for that camera.
    std::int32_t ShortIOOnSlot(const Request& request, int slot, std::int32_t value);
    std::int32_t ShortIOByTab(const Request& request, int slot, std::int32_t value);
    std::int32_t ShortRead(const Request& request, std::int32_t item);
    void ShortWrite(const Request& request, std::int32_t item, std::int32_t value);

    // Reads FactoryInfo and ConsoleBlock of the current slot's camera and refreshes the display.
    // False when there is no camera or a request failed (the camera is then closed).
    bool ReadCameraState();

    // A direct request with a larger buffer on the current slot's camera.
    bool blockRequest(const Request& request, void* buffer, std::uint32_t length, BlockFailure failure);
    // A maintenance dialog's request on its own slot's camera, whatever tab is shown: a failure
    // writes the line without slot number and closes that camera, keeping its DevicePath.
    bool maintenanceRequest(const Request& request, int slot, void* buffer, std::uint32_t length);

    // Writes the failure line for a request and closes the current camera; clearPath lets discovery
    // reopen it. prefix stands between the slot number and the request name.
    void failCurrent(const std::string& prefix, std::string_view name, int error, bool clearPath);
    void failCurrentWithLine(const std::string& text, bool clearPath);
    void failSlotWithLine(int slot, const std::string& text, bool clearPath);

private:
    bool readRecords();
    bool control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length, int& error);

    ConsoleState& state_;
    DeviceIo& io_;
    DriverCallsHost& host_;
};

}  // namespace kestrom
