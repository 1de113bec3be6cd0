// Builds a camera's factory information record from its configuration.
#include "simulator/sim_factory_record.h"

#include "simulator/sim_pixels.h"

namespace kestrom::sim {

namespace {
constexpr std::uint8_t kDetectorKest = 1;
constexpr std::uint16_t kPixelScale = 100;      // detector pitch in micrometres
constexpr float kMillimetresPerPixel = 0.1f;
}  // namespace

FactoryInfo factoryRecordFor(const CameraConfig& config) {
    FactoryInfo f;
    f.setWord(FactoryInfo::kSerialNumber, config.serial);
    f.bytes[FactoryInfo::kHardwareRevision] = static_cast<std::uint8_t>(config.hardwareRevision);
    f.bytes[FactoryInfo::kDetectorType] = kDetectorKest;
    f.setWord(FactoryInfo::kDetectorWidth, kWidth);
    f.setWord(FactoryInfo::kDetectorHeight, kHeight);
    f.setText(FactoryInfo::kDetectorSerialText, "KD" + std::to_string(config.serial));
    f.setText(FactoryInfo::kDetectorGradeText, "A");
    f.setText(FactoryInfo::kDetectorDieText, "W07-" + std::to_string(config.deviceIndex));
    f.setWord(FactoryInfo::kPixelXScale, kPixelScale);
    f.setWord(FactoryInfo::kPixelYScale, kPixelScale);
    f.bytes[FactoryInfo::kCrystalPolarity] = 0;
    f.bytes[FactoryInfo::kChopperPresent] = config.chopper ? 1 : 0;
    for (int i = 0; i < 5; ++i) {
        f.setWord(FactoryInfo::kPulseGain + 2 * i, config.pulseGain[i]);
        f.setWord(FactoryInfo::kPulseOffset + 2 * i, config.pulseOffset[i]);
        f.setWord(FactoryInfo::kChoppedGain + 2 * i, config.choppedGain[i]);
        f.setWord(FactoryInfo::kChoppedOffset + 2 * i, config.choppedOffset[i]);
    }
    f.setText(FactoryInfo::kReservedAText, "Simulated camera");
    f.setFloatLE(FactoryInfo::kHScale, kMillimetresPerPixel);
    f.setFloatLE(FactoryInfo::kVScale, kMillimetresPerPixel);
    f.setWord(FactoryInfo::kCameraType, config.cameraType);
    f.bytes[FactoryInfo::kIBP] = config.ibp ? 1 : 0;
    f.bytes[FactoryInfo::kBPS] = config.bps ? 1 : 0;
    return f;
}

}  // namespace kestrom::sim
