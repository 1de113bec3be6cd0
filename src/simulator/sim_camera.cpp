// A simulated camera's state: power-on values, status flags, timers and the frames it delivers.
#include "simulator/sim_camera.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "simulator/sim_factory_record.h"
#include "simulator/sim_frames.h"
#include "simulator/sim_pixels.h"

namespace kestrom::sim {

namespace {

constexpr std::int32_t kPowerOnExposure = 1000;
constexpr std::int32_t kPowerOnThreshold = 2;
constexpr std::int32_t kDefaultGainOneX = 410;
// The detector cannot be read out faster than this, whatever trigger arrives.
constexpr std::int64_t kShortestFramePeriod = 2000;
// The pyroelectric response falls with the chop frequency.
constexpr double kResponseAt48Hz = 0.7;
constexpr std::size_t kLargestFirmwareText = 31;
const std::vector<float> kDefaultThermalTable{20, 30, 40, 50, 60, 70, 80, 90, 100};

Bytes thermalBytes(const std::vector<float>& table) {
    Bytes bytes(kGainMapSize, 0);
    std::size_t n = std::min(table.size(), kGainMapSize / 4);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &table[i], 4);
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<std::uint8_t>(bits >> (8 * b));
    }
    return bytes;
}

bool isSize(const Bytes& b, std::size_t n) { return b.size() == n; }

}  // namespace

Camera::Camera(const CameraConfig& config, const std::string& stateDirectory, std::uint64_t seed)
    : config_(config),
      store_(stateDirectory, config.serial),
      detector_(DetectorPattern::forSerial(config.serial)),
      noise_(seed ^ (0x9E3779B97F4A7C15ULL * std::uint64_t(config.deviceIndex + 1))),
      factory_(factoryRecordFor(config)) {
    if (config.factoryMaps) {
        pulseBadPixels_ = chopBadPixels_ = factoryBadPixelMap(detector_);
        chopGainMap_ = factoryGainMap(detector_);
        if (!thermal()) pulseGainMap_ = chopGainMap_;
    }
    if (thermal()) thermalTable_ = thermalBytes(config.thermalTable.empty() ? kDefaultThermalTable : config.thermalTable);

    auto badPixelMap = [](const Bytes& b) { return !b.empty() && b.size() <= kBadPixelMapSize; };
    auto gainMap = [](const Bytes& b) { return isSize(b, kGainMapSize); };
    if (auto b = store_.load("factory.bin", [](const Bytes& x) { return isSize(x, FactoryInfo::kSize); }))
        std::copy(b->begin(), b->end(), factory_.bytes.begin());
    if (auto b = store_.load("pulse_bad_pixels.bin", badPixelMap)) pulseBadPixels_ = *b;
    if (auto b = store_.load("chop_bad_pixels.bin", badPixelMap)) chopBadPixels_ = *b;
    if (auto b = store_.load("pulse_gain_map.bin", gainMap)) pulseGainMap_ = *b;
    if (auto b = store_.load("chop_gain_map.bin", gainMap)) chopGainMap_ = *b;
    if (auto b = store_.load("thermal_table.bin", gainMap)) thermalTable_ = *b;
    if (auto b = store_.load("firmware.bin", [](const Bytes& x) { return !x.empty() && x.size() % 4 == 0; }))
        firmware_ = *b;
    if (auto b = store_.load("lca.bin", [](const Bytes& x) { return isSize(x, 16384); })) lcaProgram_ = *b;
}

void Camera::powerOn() {
    status_ = ConsoleBlock{};
    double laser = config_.beam.pulseRateHz;
    std::int32_t pulsePeriod = laser > 0 ? static_cast<std::int32_t>(std::lround(1e6 / laser)) : 0;
    status_.setWord(ConsoleBlock::kMethod, chopper() ? 1 : 0);
    status_.setWord(ConsoleBlock::kChopRate, 0);
    status_.setWord(ConsoleBlock::kPulsePeriod, pulsePeriod);
    status_.setWord(ConsoleBlock::kExposureTime, kPowerOnExposure);
    status_.setWord(ConsoleBlock::kPulseLockin, 0);
    status_.setWord(ConsoleBlock::kLockinPeriod, pulsePeriod);
    status_.setWord(ConsoleBlock::kVideoTrigger, 0);
    status_.setWord(ConsoleBlock::kVideoThreshold, kPowerOnThreshold);
    status_.setWord(ConsoleBlock::kGain, powerOnGain());
    status_.setWord(ConsoleBlock::kOffset, powerOnOffset());
    status_.setWord(ConsoleBlock::kTransferEfficiency, 100);
    status_.setWord(ConsoleBlock::kPixelCorrection, config_.pixelCorrection ? 1 : 0);
    status_.setWord(ConsoleBlock::kGainCorrection, config_.gainCorrection ? 1 : 0);
    // The 256-byte form lets the revision text run past the 8 bytes of the short form.
    std::size_t n = std::min(config_.firmware.size(), kLargestFirmwareText);
    std::memcpy(&status_.bytes[ConsoleBlock::kFirmwareRevision], config_.firmware.data(), n);

    acquire_ = false;
    visibleWavelength_ = false;
    setupMode_ = false;
    settleUntil_.reset();
    calibrationUntil_.reset();
    sequence_ = 0;
    skippedTriggers_ = 0;
    transferEfficiency_ = 100.0;
    nextFrameDue.reset();
    frameReady = false;
    pendingMissed = 0;
    refreshMapFlags();
    refreshLockLost();
    refreshMode();
}

void Camera::setReplay(std::vector<std::int16_t> pixels) {
    replay_ = std::move(pixels);
    std::size_t n = std::min<std::size_t>(replay_.size(), kPixels);
    replayBrightest_ = n ? *std::max_element(replay_.begin(), replay_.begin() + static_cast<std::ptrdiff_t>(n)) : 0;
}

void Camera::tick(std::int64_t now) {
    bool changed = false;
    if (settleUntil_ && now >= *settleUntil_) {
        settleUntil_.reset();
        changed = true;
    }
    if (calibrationUntil_ && now >= *calibrationUntil_) {
        calibrationUntil_.reset();
        setFlag(ConsoleBlock::kCalibrationBad, false);
        setFlag(ConsoleBlock::kCalibrationGood, true);
        changed = true;
    }
    if (changed) {
        setFlag(ConsoleBlock::kBusy, settleUntil_ || calibrationUntil_);
        refreshMode();
    }
}

void Camera::setFlag(std::uint32_t flag, bool on) {
    std::uint32_t flags = status_.statusFlags();
    flags = on ? (flags | flag) : (flags & ~flag);
    status_.setWord(ConsoleBlock::kStatusFlags, static_cast<std::int32_t>(flags));
}

void Camera::refreshMode() {
    std::int32_t mode = 0;
    if (setupMode_)
        mode = 6;
    else if (status_.method() != 0)
        mode = status_.chopRate() == 1 ? 5 : 4;
    else if (calibrationUntil_)
        mode = 3;
    else if (status_.videoTrigger() == 1)
        mode = 2;
    else if (status_.pulseLockin() == 1)
        mode = 1;
    status_.setWord(ConsoleBlock::kMode, mode);
}

// Lock-in needs pulses to lock to; without a chopper, chopped operation needs the external chop signal.
void Camera::refreshLockLost() {
    bool laser = config_.beam.pulseRateHz > 0;
    bool lost = false;
    if (status_.method() == 0)
        lost = status_.pulseLockin() == 1 && (!laser || status_.pulsePeriod() <= 0);
    else
        lost = !chopper() && !laser;
    setFlag(ConsoleBlock::kLockLost, lost);
}

void Camera::refreshMapFlags() {
    setFlag(ConsoleBlock::kPulseBadPixelMap, hasBadPixelEntries(pulseBadPixels_));
    setFlag(ConsoleBlock::kChopBadPixelMap, hasBadPixelEntries(chopBadPixels_));
    setFlag(ConsoleBlock::kPulseGainMap, !thermal() && !pulseGainMap_.empty());
    setFlag(ConsoleBlock::kChopGainMap, !chopGainMap_.empty());
}

void Camera::startSettling(std::int64_t now) {
    settleUntil_ = now + std::int64_t{kSettleMilliseconds} * 1000;
    setFlag(ConsoleBlock::kBusy, true);
}

void Camera::setMethod(std::int32_t method, std::int64_t now) {
    if (method == status_.method()) return;
    status_.setWord(ConsoleBlock::kMethod, method);
    startSettling(now);
    refreshLockLost();
    refreshMode();
}

void Camera::setChopRate(std::int32_t rate, std::int64_t now) {
    if (rate == status_.chopRate()) return;
    status_.setWord(ConsoleBlock::kChopRate, rate);
    startSettling(now);
    refreshMode();
}

void Camera::setAcquire(bool on) {
    if (on && !acquire_) {
        sequence_ = 0;
        skippedTriggers_ = 0;
        status_.setWord(ConsoleBlock::kSkippedTriggers, 0);
    }
    acquire_ = on;
    nextFrameDue.reset();
    frameReady = false;
    pendingMissed = 0;
}

std::int32_t Camera::gainOneX() const {
    std::uint16_t g = status_.method() == 0 ? factory_.pulseGain(0) : factory_.choppedGain(0);
    return g == 0 ? kDefaultGainOneX : g;
}

std::int32_t Camera::powerOnGain() const {
    std::uint16_t g = chopper() ? factory_.choppedGain(0) : factory_.pulseGain(0);
    return std::min<std::int32_t>(g == 0 ? kDefaultGainOneX : g, 4095);
}

std::int32_t Camera::powerOnOffset() const {
    std::uint16_t o = chopper() ? factory_.choppedOffset(0) : factory_.pulseOffset(0);
    return std::min<std::int32_t>(o, 4095);
}

const Bytes& Camera::gainMapInUse() const { return status_.method() == 0 ? pulseGainMap_ : chopGainMap_; }
const Bytes& Camera::badPixelMapInUse() const { return status_.method() == 0 ? pulseBadPixels_ : chopBadPixels_; }

std::int64_t Camera::framePeriodMicros() const {
    if ((status_.statusFlags() & ConsoleBlock::kLockLost) != 0) return 0;
    double laser = config_.beam.pulseRateHz;
    std::int64_t period = 0;
    if (status_.method() != 0 && chopper())
        period = status_.chopRate() == 1 ? 1000000 / 48 : 1000000 / 24;
    else if (laser <= 0)
        return 0;
    else if (status_.method() != 0)
        period = static_cast<std::int64_t>(1e6 / laser);
    else {
        std::int32_t p = status_.pulseLockin() == 1 && status_.lockinPeriod() > 0 ? status_.lockinPeriod()
                                                                                  : status_.pulsePeriod();
        if (p <= 0) return 0;
        period = p;
    }
    return std::max(period, kShortestFramePeriod);
}

void Camera::fillFrame(std::uint8_t* block, std::int64_t now, int missed, double& synthesisMicros) {
    ++sequence_;
    skippedTriggers_ += missed;
    transferEfficiency_ = 0.9 * transferEfficiency_ + 0.1 * (100.0 / (1 + missed));

    std::int16_t brightest = 0;
    if (!replay_.empty()) {
        std::size_t n = std::min<std::size_t>(replay_.size(), kPixels);
        std::memcpy(block, replay_.data(), n * 2);
        std::memset(block + n * 2, 0, (kPixels - n) * 2);
        brightest = replayBrightest_;
    } else {
        auto started = std::chrono::steady_clock::now();
        FrameConditions at;
        at.seconds = static_cast<double>(now) / 1e6;
        at.gainFactor = std::clamp(status_.gain(), 0, 4095) / static_cast<double>(gainOneX());
        at.signalScale = status_.method() != 0 && chopper() && status_.chopRate() == 1 ? kResponseAt48Hz : 1.0;
        at.baselineCounts = (std::clamp(status_.offset(), 0, 4095) - 2048) / 4.0;
        at.darkPatternRemoved = (status_.statusFlags() & ConsoleBlock::kCalibrationGood) != 0;
        synthesiseCounts(config_.beam, detector_, at, noise_, block);
        if (status_.gainCorrection() == 1) applyGainMap(gainMapInUse(), block);
        if (status_.pixelCorrection() == 1) repairBadPixels(badPixelIndices(badPixelMapInUse()), block);
        brightest = scaleToFrameValues(block);
        synthesisMicros =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count();
    }

    // With the video trigger on, a pulse frame below the threshold is marked not to be delivered.
    bool skip = false;
    if (status_.method() == 0 && status_.videoTrigger() == 1) {
        int threshold = 8192 >> std::clamp(status_.videoThreshold(), 0, 5);
        if (brightest < threshold) {
            skip = true;
            ++skippedTriggers_;
        }
    }
    status_.setWord(ConsoleBlock::kSkippedTriggers, skippedTriggers_);
    status_.setWord(ConsoleBlock::kTransferEfficiency, static_cast<std::int32_t>(std::lround(transferEfficiency_)));

    ConsoleBlock frame = status_;
    frame.setWord(0, static_cast<std::int32_t>(sequence_));
    if (skip)
        frame.setWord(ConsoleBlock::kStatusFlags,
                      static_cast<std::int32_t>(frame.statusFlags() | ConsoleBlock::kDoNotDeliver));
    std::memcpy(block + frame_block::kConsoleBlockOffset, frame.bytes.data(), ConsoleBlock::kSize);
}

}  // namespace kestrom::sim
