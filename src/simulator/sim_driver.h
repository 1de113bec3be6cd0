// The simulated camera driver: a faithful stand-in for the kernel driver behind the DeviceIo boundary.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "camera_records/console_block.h"
#include "camera_records/factory_info.h"
#include "platform/device_io.h"

namespace kestrom::sim {

// The beam the simulated camera looks at.
struct BeamConfig {
    // Uniform: the whole detector evenly lit at the beam's power (for making gain maps).
    enum class Shape { Gaussian, TopHat, Uniform };
    Shape shape = Shape::Gaussian;
    double x = 62.0, y = 62.0;              // centre in pixels
    double widthX = 18.0, widthY = 12.0;    // 1/e^2 half-widths (Gaussian) or half-sides (top hat), pixels
    double power = 1.0;                     // relative; 1.0 fills about half the 15-bit range at gain 1X
    double driftPixelsPerSecond = 0.0;      // slow wander of the centre
    double pulseRateHz = 20.0;              // laser pulse rate in pulsed operation
    double noise = 8.0;                     // detector noise, counts (15-bit scale) r.m.s.

    friend bool operator==(const BeamConfig&, const BeamConfig&) = default;
};

struct CameraConfig {
    int deviceIndex = 0;                    // "\\.\Kestrom<deviceIndex>", 0..10
    std::uint16_t serial = 1234;
    std::string firmware = "v1.05";         // firmware revision text of the status block
    char hardwareRevision = 'B';
    std::uint16_t cameraType = 0;           // 1 = thermal
    bool chopper = true;
    bool ibp = false, bps = false;          // fixed-configuration flags
    std::array<std::uint16_t, 5> pulseGain{400, 800, 1600, 3200, 4000};
    std::array<std::uint16_t, 5> pulseOffset{2048, 2048, 2048, 2048, 2048};
    std::array<std::uint16_t, 5> choppedGain{400, 800, 1600, 3200, 4000};
    std::array<std::uint16_t, 5> choppedOffset{2048, 2048, 2048, 2048, 2048};
    bool attached = true;
    // A camera leaves the factory with a bad-pixel map of its own bad pixels and a gain map that
    // flattens its responsivity, for both methods; without them it starts with no maps.
    bool factoryMaps = true;
    // The corrections' switches at power-up; a camera whose maps are in use starts with them on.
    bool pixelCorrection = false;
    bool gainCorrection = false;
    // Thermal cameras (camera type bit 0): the table that the pulsed gain-map request carries.
    std::vector<float> thermalTable;
    BeamConfig beam;
};

struct Config {
    std::vector<CameraConfig> cameras;
    std::string stateDirectory;             // empty: nothing persists
    bool deterministic = false;             // frames on demand, seeded noise
    std::uint64_t seed = 1;
};

// Three cameras that show the range: chopper and "v1.05", pulsed-only older firmware, a thermal one.
Config defaultConfig();

// Reads a configuration file; on error returns nothing and sets error to "<file>:<line>: <what>".
std::optional<Config> loadConfigFile(const std::string& path, std::string& error);
std::optional<Config> parseConfig(const std::string& text, const std::string& fileName, std::string& error);

// How long the camera stays busy after a method or chop-rate change, and how long a calibration runs,
// in simulated time.
inline constexpr int kSettleMilliseconds = 1500;
inline constexpr int kCalibrationMilliseconds = 3000;

// Mode word of the status block:
//   0 pulsed automatic, 1 pulsed lock-in, 2 pulsed with video trigger, 3 calibrating in pulsed
//   operation, 4 chopped 24 Hz, 5 chopped 48 Hz, 6 setup mode (IOCTL_SET_DEBUG 0x1000000).
// Offset 0 of every frame's status block carries the frame's sequence number (from 1 after each
// acquire on), so dropped frames show.
//
// Item request 0x89892060 {item, value}: item 96 (visible wavelength) only. A second word of 0 or 1
// sets the switch; any other second word (send -1) reads it. Either way the second word returns
// the value in force.
//
// Time: simulated time drives the busy and calibration timers and beam drift. In deterministic mode
// it moves only by advanceTime() and by one frame period per produceFrame(); in real-time mode it is
// the steady clock since construction plus whatever advanceTime() added.
class Driver : public DeviceIo {
public:
    // Throws std::invalid_argument for a device index outside 0..10 or used twice (the file parser
    // reports these with their line; this guards configurations built in code).
    explicit Driver(Config config);
    ~Driver() override;

    DeviceHandle open(const std::string& path, DeviceAccess access, int& error) override;
    bool control(DeviceHandle device, std::uint32_t code, void* buffer, std::uint32_t length,
                 std::uint32_t& bytesReturned, int& error) override;
    bool read(DeviceHandle device, void* buffer, std::uint32_t length, std::uint32_t& bytesRead,
              int& error) override;
    void close(DeviceHandle device) override;

    // Attach and detach at run time; each change calls the device-change callback (any thread).
    void attach(int deviceIndex);
    void detach(int deviceIndex);
    void setDeviceChangeCallback(std::function<void()> callback);
    bool isAttached(int deviceIndex) const;

    // Fault injection for tests. failNextOpen applies to the next working (read/write) open; probes
    // are not affected, so a camera that can be probed but not opened can be shown.
    void failNextRequest(int deviceIndex, std::uint32_t code, int error);
    void failNextOpen(int deviceIndex, int error);
    void failReads(int deviceIndex, int count, int error);

    // Direct access to a camera's state for tests (for example a mode word of 9).
    void editStatus(int deviceIndex, const std::function<void(ConsoleBlock&)>& edit);
    void editFactory(int deviceIndex, const std::function<void(FactoryInfo&)>& edit);
    ConsoleBlock status(int deviceIndex) const;
    FactoryInfo factory(int deviceIndex) const;
    // What the cameras found damaged in their stored state and ignored, one line each, for the
    // console's history.
    std::vector<std::string> damagedState() const;

    // What a camera looks at from its next frame on (a running camera can be switched to the
    // uniform scene and back).
    void setBeam(int deviceIndex, const BeamConfig& beam);
    BeamConfig beam(int deviceIndex) const;

    // The control requests the driver received, at most the newest kKeptRequests: device index and
    // code, in order.
    static constexpr std::size_t kKeptRequests = 100000;
    struct RequestRecord {
        int deviceIndex;
        std::uint32_t code;
        std::uint32_t length;
    };
    std::vector<RequestRecord> requestLog() const;

    // Deterministic mode: makes the next frame of a camera ready for its pending or next read.
    // Ignored while the camera does not acquire; a ready frame that was not read yet is lost and
    // counts as a skipped trigger.
    void produceFrame(int deviceIndex);

    // Moves simulated time on (both modes); timers that expire take effect at once.
    void advanceTime(int milliseconds);
    std::int64_t simulatedMilliseconds() const;

    // Bench support: reads copy these 15376 pixels instead of synthesising a frame (the status block
    // is still written); an empty vector returns to synthesis.
    void setReplayFrame(int deviceIndex, const std::vector<std::int16_t>& pixels);
    // Duration of the last frame synthesis of any camera, in microseconds (0 before the first).
    double lastSynthesisMicroseconds() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrom::sim
