// The driver boundary: the four device calls the console makes on a camera, with their buffer rules.
#pragma once

#include <cstdint>
#include <string>

namespace kestrom {

using DeviceHandle = std::int32_t;
inline constexpr DeviceHandle kNoDevice = -1;

// What an open asks for: a probe opens with no access rights and closes at once;
// a working open reads and writes.
enum class DeviceAccess { Probe, ReadWrite };

// Error codes are errno values; systemErrorText() gives their text.
class DeviceIo {
public:
    virtual ~DeviceIo() = default;

    // Opens a device name such as "\\.\Kestrom0". Returns kNoDevice and sets error on failure.
    virtual DeviceHandle open(const std::string& path, DeviceAccess access, int& error) = 0;

    // One buffer passes both ways with the same length. Returns false and sets error on failure.
    virtual bool control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                         std::uint32_t& bytesReturned, int& error) = 0;

    // Synchronous frame read into the caller's buffer.
    virtual bool read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
                      int& error) = 0;

    virtual void close(DeviceHandle device) = 0;
};

// The system's message text for an error code; empty when the platform has none.
std::string systemErrorText(int error);

// Device names "\\.\Kestrom0" to "\\.\Kestrom10".
inline constexpr int kDeviceNameCount = 11;
std::string deviceName(int index);

}  // namespace kestrom
