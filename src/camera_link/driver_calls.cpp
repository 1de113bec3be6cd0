// Request wrappers and the failure rule.
#include "camera_link/driver_calls.h"

#include <cstring>
#include <string>

#include "camera_link/scoped_value.h"

namespace kestrom {

bool DriverCalls::control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                          int& error) {
    std::uint32_t returned = 0;
    error = 0;
    return io_.control(device, code, buffer, length, returned, error);
}

void DriverCalls::failCurrent(const std::string& prefix, std::string_view name, int error, bool clearPath) {
    failCurrentWithLine(prefix + std::string(name) + ". " + systemErrorText(error), clearPath);
}

void DriverCalls::failCurrentWithLine(const std::string& text, bool clearPath) {
    state_.history.append(text);
    // The close makes the History tab current, so note the slot first.
    int noted = state_.currentSlot;
    host_.closeCurrentCamera();
    if (clearPath && state_.validSlot(noted)) state_.slots[noted].DevicePath.clear();
}

void DriverCalls::failSlotWithLine(int slot, const std::string& text, bool clearPath) {
    if (slot == state_.currentSlot) {
        failCurrentWithLine(text, clearPath);
        return;
    }
    state_.history.appendRaw(std::to_string(slot) + " " + text);
    host_.closeCamera(slot);
    if (clearPath) state_.slots[slot].DevicePath.clear();
}

std::int32_t DriverCalls::ShortIO(const Request& request, std::int32_t value) {
    return ShortIOOnSlot(request, state_.currentSlot, value);
}

std::int32_t DriverCalls::ShortIOOnSlot(const Request& request, int slot, std::int32_t value) {
    if (!state_.validSlot(slot)) return -1;
    DeviceHandle device = state_.slots[slot].Device.load();
    if (device == kNoDevice) return -1;
    std::int32_t buffer = value;
    int error = 0;
    if (!control(device, request.code, &buffer, sizeof buffer, error)) {
        failSlotWithLine(slot, " ShortIO: " + std::string(request.name) + ". " + systemErrorText(error), true);
        return -1;
    }
    return buffer;
}

std::int32_t DriverCalls::ShortIOByTab(const Request& request, int slot, std::int32_t value) {
    if (!state_.validSlot(slot)) return -1;
    DeviceHandle device = state_.slots[slot].Device.load();
    if (device == kNoDevice) return -1;
    std::int32_t buffer = value;
    int error = 0;
    if (!control(device, request.code, &buffer, sizeof buffer, error)) {
        // The line carries the given slot, not the current one; the caller decides what to close.
        state_.history.appendRaw(std::to_string(slot) + " ShortIO by tab, " + std::string(request.name) + ". " +
                                 systemErrorText(error));
        return -1;
    }
    return buffer;
}

std::int32_t DriverCalls::ShortRead(const Request& request, std::int32_t item) {
    DeviceHandle device = state_.current().Device.load();
    if (device == kNoDevice) return -1;
    // A second word other than 0 or 1 asks for the value rather than setting it.
    std::int32_t buffer[2] = {item, -1};
    int error = 0;
    if (!control(device, request.code, buffer, sizeof buffer, error)) {
        failCurrent(" ShortRead: ", request.name, error, true);
        return -1;
    }
    return buffer[1];
}

void DriverCalls::ShortWrite(const Request& request, std::int32_t item, std::int32_t value) {
    DeviceHandle device = state_.current().Device.load();
    if (device == kNoDevice) return;
    std::int32_t buffer[2] = {item, value};
    int error = 0;
    if (!control(device, request.code, buffer, sizeof buffer, error)) failCurrent(" ShortWrite: ", request.name, error, true);
}

bool DriverCalls::blockRequest(const Request& request, void* buffer, std::uint32_t length, BlockFailure failure) {
    DeviceHandle device = state_.current().Device.load();
    if (device == kNoDevice) return false;
    int error = 0;
    if (control(device, request.code, buffer, length, error)) return true;
    if (failure == BlockFailure::Console || failure == BlockFailure::KeepPath) {
        failCurrent("", request.name, error, failure == BlockFailure::Console);
    } else if (failure == BlockFailure::Upload) {
        failCurrentWithLine(std::string(request.name) + " failed. " + systemErrorText(error), true);
    } else {
        state_.history.appendRaw(std::string(request.name) + ". " + systemErrorText(error));
        host_.closeCurrentCamera();
    }
    return false;
}

bool DriverCalls::maintenanceRequest(const Request& request, int slot, void* buffer, std::uint32_t length) {
    if (!state_.validSlot(slot)) return false;
    DeviceHandle device = state_.slots[slot].Device.load();
    if (device == kNoDevice) return false;
    int error = 0;
    if (control(device, request.code, buffer, length, error)) return true;
    state_.history.appendRaw(std::string(request.name) + ". " + systemErrorText(error));
    host_.closeCamera(slot);
    return false;
}

bool DriverCalls::ReadCameraState() {
    if (!state_.current().hasDevice()) return false;
    // A failed read must not leave the panel's handlers blocked.
    ScopedValue refreshing(state_.refreshInProgress, true);
    if (!readRecords()) return false;
    host_.showConsoleBlock();
    return true;
}

bool DriverCalls::readRecords() {
    state_.factory.bytes.fill(0);
    if (!blockRequest(req::GetFactoryInformation, state_.factory.bytes.data(), FactoryInfo::kSize,
                      BlockFailure::Console))
        return false;
    // A fixed-configuration camera keeps the entries disabled even when the tab change enabled them.
    host_.enableSetupFileMenus(!state_.factory.isFixedConfiguration());

    state_.console.bytes.fill(0);
    std::uint8_t shortForm[req::kConsoleBlockShortSize] = {};
    if (!blockRequest(req::GetConsoleAsBlock, shortForm, sizeof shortForm, BlockFailure::Console)) return false;
    std::memcpy(state_.console.bytes.data(), shortForm, sizeof shortForm);

    // Firmware whose revision text holds "v1.05" answers with the whole block.
    if (state_.console.firmwareRevision().find("v1.05") != std::string::npos) {
        if (!blockRequest(req::GetConsoleAsBlock, state_.console.bytes.data(), ConsoleBlock::kSize,
                          BlockFailure::Console))
            return false;
    }
    state_.current().Factory = state_.factory;
    state_.current().Console = state_.console;
    return true;
}

}  // namespace kestrom
