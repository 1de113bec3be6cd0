// The camera's 256-byte status block, big-endian 32-bit words, and the frame block that carries it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrom {

struct ConsoleBlock {
    static constexpr std::size_t kSize = 256;
    // Older firmware answers the status request with this many bytes.
    static constexpr std::size_t kShortSize = 96;
    std::array<std::uint8_t, kSize> bytes{};

    enum Offset : std::size_t {
        kStatusFlags = 12,
        kMode = 16,
        kMethod = 20,
        kChopRate = 24,
        kPulsePeriod = 28,
        kSkippedTriggers = 32,
        kExposureTime = 36,
        kPulseLockin = 40,
        kLockinPeriod = 44,
        kVideoTrigger = 48,
        kVideoThreshold = 52,
        kGain = 64,
        kOffset = 68,
        kPixelCorrection = 72,
        kGainCorrection = 76,
        kTransferEfficiency = 80,
        kAcWord = 84,
        kFirmwareRevision = 88,
    };

    enum StatusFlag : std::uint32_t {
        kBusy = 0x0001,
        kCalibrationGood = 0x0002,
        kCalibrationBad = 0x0004,
        kLockLost = 0x0008,
        kPulseBadPixelMap = 0x1000,
        kChopBadPixelMap = 0x2000,
        kPulseGainMap = 0x4000,
        kChopGainMap = 0x8000,
        kDoNotDeliver = 0x01000000,
    };

    std::int32_t word(std::size_t offset) const;
    void setWord(std::size_t offset, std::int32_t value);

    std::uint32_t statusFlags() const { return static_cast<std::uint32_t>(word(kStatusFlags)); }
    std::int32_t mode() const { return word(kMode); }
    std::int32_t method() const { return word(kMethod); }
    std::int32_t chopRate() const { return word(kChopRate); }
    std::int32_t pulsePeriod() const { return word(kPulsePeriod); }
    std::int32_t skippedTriggers() const { return word(kSkippedTriggers); }
    std::int32_t exposureTime() const { return word(kExposureTime); }
    std::int32_t pulseLockin() const { return word(kPulseLockin); }
    std::int32_t lockinPeriod() const { return word(kLockinPeriod); }
    std::int32_t videoTrigger() const { return word(kVideoTrigger); }
    std::int32_t videoThreshold() const { return word(kVideoThreshold); }
    std::int32_t gain() const { return word(kGain); }
    std::int32_t offset() const { return word(kOffset); }
    std::int32_t pixelCorrection() const { return word(kPixelCorrection); }
    std::int32_t gainCorrection() const { return word(kGainCorrection); }
    std::int32_t transferEfficiency() const { return word(kTransferEfficiency); }
    std::int32_t acWord() const { return word(kAcWord); }

    // The firmware revision text up to its NUL, never past the block.
    std::string firmwareRevision() const;
    void setFirmwareRevision(const std::string& text);
};

static_assert(sizeof(ConsoleBlock) == ConsoleBlock::kSize, "ConsoleBlock must be exactly 256 bytes");

// The shared frame block of a slot, as the driver fills it and the console completes it.
namespace frame_block {
inline constexpr int kWidth = 124;
inline constexpr int kHeight = 124;
inline constexpr std::size_t kPixelCount = kWidth * kHeight;    // 15376 signed 16-bit pixels, host order
inline constexpr std::size_t kConsoleBlockOffset = 30752;
inline constexpr std::size_t kFactoryInfoOffset = 31008;
inline constexpr std::size_t kSize = 31744;
}  // namespace frame_block

}  // namespace kestrom
