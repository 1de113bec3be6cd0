// A simulated camera's answers to the control requests of the catalogue.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "camera_records/requests.h"
#include "simulator/sim_camera.h"

namespace kestrom::sim {

namespace {

constexpr std::uint32_t kLcaSize = 16384;
constexpr std::uint32_t kLargestFirmware = 4u * 1024u * 1024u;
constexpr std::int32_t kCalibrateStart = 1;
constexpr std::int32_t kCalibrateStop = 0x10000;
constexpr std::int32_t kSetupModeOn = 0x1000000;

bool isSwitch(std::int32_t v) { return v == 0 || v == 1; }

}  // namespace

bool Camera::checkLength(std::uint32_t code, std::uint32_t length) const {
    switch (code) {
        case req::GetConsoleAsBlock.code:
            // Only firmware "v1.05" knows the long form of the status block.
            return length == ConsoleBlock::kShortSize ||
                   (length == ConsoleBlock::kSize && status_.firmwareRevision().find("v1.05") != std::string::npos);
        case req::SetPulseBadPixelMap.code:
        case req::SetChopBadPixelMap.code:
            return length > 0 && length <= kBadPixelMapSize;
        case req::SetFirmwareProgram.code:
            return length > 0 && length % 4 == 0 && length <= kLargestFirmware;
        default:
            return length == findRequest(code)->bufferSize;
    }
}

bool Camera::handle(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length, std::int64_t now, int& error) {
    const Request* request = findRequest(code);
    if (request == nullptr) {
        error = ENOTTY;
        return false;
    }
    if (!checkLength(code, length)) {
        error = EINVAL;
        return false;
    }
    if (buffer == nullptr) {
        error = EFAULT;
        return false;
    }
    tick(now);
    switch (request->kind) {
        case RequestKind::Short: {
            std::int32_t value;
            std::memcpy(&value, buffer, 4);
            if (!handleShort(code, value, now, error)) return false;
            std::memcpy(buffer, &value, 4);
            return true;
        }
        case RequestKind::Item: {
            std::int32_t words[2];
            std::memcpy(words, buffer, 8);
            if (!handleItem(words[0], words[1], error)) return false;
            std::memcpy(buffer, words, 8);
            return true;
        }
        case RequestKind::Block:
            return handleBlock(code, buffer, length, error);
    }
    error = EINVAL;
    return false;
}

// A SET answers with the value now in force: out-of-range values are clamped where the setting is a
// range and ignored where it is a choice.
bool Camera::handleShort(std::uint32_t code, std::int32_t& value, std::int64_t now, int& error) {
    ConsoleBlock& s = status_;
    auto setIf = [&](std::size_t offset, bool accept) {
        if (accept) s.setWord(offset, value);
        value = s.word(offset);
    };
    switch (code) {
        case req::GetMode.code: value = s.mode(); return true;
        case req::SetExposureTime.code:
            value = std::clamp(value, 50, 12800) / 50 * 50;
            setIf(ConsoleBlock::kExposureTime, true);
            return true;
        case req::GetExposureTime.code: value = s.exposureTime(); return true;
        case req::SetPulsePeriod.code:
            setIf(ConsoleBlock::kPulsePeriod, value >= 0);
            refreshLockLost();
            return true;
        case req::GetPulsePeriod.code: value = s.pulsePeriod(); return true;
        case req::SetPulseLockin.code:
            setIf(ConsoleBlock::kPulseLockin, isSwitch(value));
            refreshLockLost();
            refreshMode();
            return true;
        case req::GetPulseLockin.code: value = s.pulseLockin(); return true;
        case req::SetPulseLockinPeriod.code: setIf(ConsoleBlock::kLockinPeriod, value >= 0); return true;
        case req::GetPulseLockinPeriod.code: value = s.lockinPeriod(); return true;
        case req::SetPixelCorrection.code: setIf(ConsoleBlock::kPixelCorrection, isSwitch(value)); return true;
        case req::GetPixelCorrection.code: value = s.pixelCorrection(); return true;
        case req::SetGainCorrection.code: setIf(ConsoleBlock::kGainCorrection, isSwitch(value)); return true;
        case req::GetGainCorrection.code: value = s.gainCorrection(); return true;
        case req::SetGain.code:
            value = std::clamp(value, 0, 4095);
            setIf(ConsoleBlock::kGain, true);
            return true;
        case req::SetAcquire.code:
            if (isSwitch(value)) setAcquire(value == 1);
            value = acquire_ ? 1 : 0;
            return true;
        case req::GetAcquire.code: value = acquire_ ? 1 : 0; return true;
        case req::SetTriggerMethod.code:
            if (isSwitch(value)) setMethod(value, now);
            value = s.method();
            return true;
        case req::GetTriggerMethod.code: value = s.method(); return true;
        case req::SetChopRate.code:
            if (isSwitch(value)) setChopRate(value, now);
            value = s.chopRate();
            return true;
        case req::SetVideoTrigger.code:
            setIf(ConsoleBlock::kVideoTrigger, isSwitch(value));
            refreshMode();
            return true;
        case req::SetVideoTriggerThreshold.code:
            setIf(ConsoleBlock::kVideoThreshold, value >= 0 && value <= 5);
            return true;
        case req::GetVideoTriggerThreshold.code: value = s.videoThreshold(); return true;
        case req::Calibrate.code:
            if (value == kCalibrateStart) {
                calibrationUntil_ = now + std::int64_t{kCalibrationMilliseconds} * 1000;
                setFlag(ConsoleBlock::kCalibrationGood, false);
                setFlag(ConsoleBlock::kCalibrationBad, true);
                setFlag(ConsoleBlock::kBusy, true);
            } else if (value == kCalibrateStop) {
                calibrationUntil_.reset();
                setFlag(ConsoleBlock::kCalibrationGood, false);
                setFlag(ConsoleBlock::kCalibrationBad, false);
                setFlag(ConsoleBlock::kBusy, settleUntil_.has_value());
            }
            refreshMode();
            value = calibrationUntil_ ? 1 : 0;
            return true;
        case req::SetDebug.code:
            if (value == kSetupModeOn || value == 0) setupMode_ = value != 0;
            value = setupMode_ ? kSetupModeOn : 0;
            refreshMode();
            return true;
        case req::SetOffset.code:
            value = std::clamp(value, 0, 4095);
            setIf(ConsoleBlock::kOffset, true);
            return true;
        case req::GetOffset.code: value = s.offset(); return true;
        default: error = EINVAL; return false;
    }
}

// One code serves both directions: a second word of 0 or 1 sets the switch, anything else reads it.
bool Camera::handleItem(std::int32_t item, std::int32_t& value, int& error) {
    if (item != req::kVisibleWavelengthItem) {
        error = EINVAL;
        return false;
    }
    if (isSwitch(value)) visibleWavelength_ = value == 1;
    value = visibleWavelength_ ? 1 : 0;
    return true;
}

bool Camera::store(const char* name, const Bytes& bytes, Bytes& target, int& error) {
    if (!store_.save(name, bytes)) {
        error = EIO;
        return false;
    }
    target = bytes;
    refreshMapFlags();
    return true;
}

bool Camera::handleBlock(std::uint32_t code, std::uint8_t* buffer, std::uint32_t length, int& error) {
    Bytes sent(buffer, buffer + length);
    auto give = [&](const Bytes& held) {
        std::memset(buffer, 0, length);
        // A camera without this map answers zeros (memcpy may not be given a null source).
        if (!held.empty()) std::memcpy(buffer, held.data(), std::min<std::size_t>(held.size(), length));
        return true;
    };
    switch (code) {
        case req::GetFactoryInformation.code:
            std::memcpy(buffer, factory_.bytes.data(), FactoryInfo::kSize);
            return true;
        case req::SetFactoryInformation.code: {
            Bytes record;
            if (!store("factory.bin", sent, record, error)) return false;
            std::copy(record.begin(), record.end(), factory_.bytes.begin());
            refreshMapFlags();
            refreshLockLost();
            return true;
        }
        case req::GetConsoleAsBlock.code:
            std::memcpy(buffer, status_.bytes.data(), length);
            return true;
        case req::GetPulseBadPixelMap.code: return give(pulseBadPixels_);
        case req::GetChopBadPixelMap.code: return give(chopBadPixels_);
        case req::SetPulseBadPixelMap.code: return store("pulse_bad_pixels.bin", sent, pulseBadPixels_, error);
        case req::SetChopBadPixelMap.code: return store("chop_bad_pixels.bin", sent, chopBadPixels_, error);
        // On a thermal camera the pulsed gain-map slot carries the thermal table instead.
        case req::GetPulseGainMap.code:
            if (thermal()) return give(thermalTable_);
            return give(pulseGainMap_.empty() ? unityGainMap() : pulseGainMap_);
        case req::GetChopGainMap.code: return give(chopGainMap_.empty() ? unityGainMap() : chopGainMap_);
        case req::SetPulseGainMap.code:
            if (thermal()) return store("thermal_table.bin", sent, thermalTable_, error);
            return store("pulse_gain_map.bin", sent, pulseGainMap_, error);
        case req::SetChopGainMap.code: return store("chop_gain_map.bin", sent, chopGainMap_, error);
        case req::SetFirmwareProgram.code: return store("firmware.bin", sent, firmware_, error);
        case req::SetLcaProgram.code:
            static_assert(kLcaSize == req::SetLcaProgram.bufferSize);
            return store("lca.bin", sent, lcaProgram_, error);
        default: error = EINVAL; return false;
    }
}

}  // namespace kestrom::sim
