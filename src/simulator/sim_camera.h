// One simulated camera: its records, settings, timers, stored maps and programs, and its requests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "camera_records/console_block.h"
#include "camera_records/factory_info.h"
#include "simulator/sim_corrections.h"
#include "simulator/sim_detector.h"
#include "simulator/sim_driver.h"
#include "simulator/sim_noise.h"
#include "simulator/sim_persistence.h"

namespace kestrom::sim {

// Not thread-safe: the driver holds its lock around every call. Times are simulated microseconds.
class Camera {
public:
    Camera(const CameraConfig& config, const std::string& stateDirectory, std::uint64_t seed);

    const CameraConfig& config() const { return config_; }
    void setBeam(const BeamConfig& beam) { config_.beam = beam; }

    // The camera is plugged in: its settings return to their power-on values; what it keeps in
    // its own memory (factory record, maps, programs) stays.
    void powerOn();

    // Ends a settling period or a calibration whose time has come.
    void tick(std::int64_t now);

    // One control request with the catalogue's buffer rules; false and an errno on failure.
    bool handle(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length, std::int64_t now, int& error);

    ConsoleBlock& status() { return status_; }
    FactoryInfo& factory() { return factory_; }
    // The stored state files found damaged at power-up, one line each.
    const std::vector<std::string>& damagedState() const { return store_.damaged(); }
    bool acquiring() const { return acquire_; }
    // The working handle was closed: the camera stops acquiring.
    void stopAcquisition() { setAcquire(false); }

    // Time between frames in the current operation, microseconds; 0 when no trigger arrives.
    std::int64_t framePeriodMicros() const;

    // Fills one frame block: pixels (synthesised or replayed) and the status block of this frame.
    // missed counts the frames that came and went since the last read.
    void fillFrame(std::uint8_t* block, std::int64_t now, int missed, double& synthesisMicros);

    // The brightest replayed pixel is found once here, not on every read.
    void setReplay(std::vector<std::int16_t> pixels);

    // Frame pacing and hand-made frames, kept here so that a power cycle resets them.
    std::optional<std::chrono::steady_clock::time_point> nextFrameDue;
    bool frameReady = false;
    int pendingMissed = 0;

private:
    bool handleShort(std::uint32_t code, std::int32_t& value, std::int64_t now, int& error);
    bool handleItem(std::int32_t item, std::int32_t& value, int& error);
    bool handleBlock(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length, int& error);
    bool checkLength(std::uint32_t code, std::uint32_t length) const;

    void setFlag(std::uint32_t flag, bool on);
    void refreshMode();
    void refreshLockLost();
    void refreshMapFlags();
    void startSettling(std::int64_t now);
    void setMethod(std::int32_t method, std::int64_t now);
    void setChopRate(std::int32_t rate, std::int64_t now);
    void setAcquire(bool on);

    bool thermal() const { return (factory_.cameraType() & 1) != 0; }
    bool chopper() const { return factory_.chopperPresent() != 0; }
    std::int32_t gainOneX() const;
    std::int32_t powerOnGain() const;
    std::int32_t powerOnOffset() const;
    const Bytes& gainMapInUse() const;
    const Bytes& badPixelMapInUse() const;

    bool store(const char* name, const Bytes& bytes, Bytes& target, int& error);

    CameraConfig config_;
    StateStore store_;
    DetectorPattern detector_;
    NormalNoise noise_;

    FactoryInfo factory_;
    ConsoleBlock status_;
    Bytes pulseBadPixels_, chopBadPixels_;      // as sent; empty: no map
    Bytes pulseGainMap_, chopGainMap_;          // 30752 bytes; empty: no map
    Bytes thermalTable_;                        // 30752 bytes of little-endian floats
    Bytes firmware_, lcaProgram_;

    bool acquire_ = false;
    bool visibleWavelength_ = false;
    bool setupMode_ = false;
    std::optional<std::int64_t> settleUntil_;
    std::optional<std::int64_t> calibrationUntil_;
    std::uint32_t sequence_ = 0;
    std::int32_t skippedTriggers_ = 0;
    double transferEfficiency_ = 100.0;
    std::vector<std::int16_t> replay_;
    std::int16_t replayBrightest_ = 0;
};

}  // namespace kestrom::sim
