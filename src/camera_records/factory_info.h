// The camera's 256-byte factory information record, kept in the camera's own byte order.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kestrom {

// The bytes are the record as the camera stores it; accessors convert at the point of use
// and every byte they do not write is carried unchanged.
struct FactoryInfo {
    static constexpr std::size_t kSize = 256;
    std::array<std::uint8_t, kSize> bytes{};

    // Offsets of the fields.
    enum Offset : std::size_t {
        kSerialNumber = 0,
        kHardwareRevision = 4,
        kDetectorType = 5,
        kDetectorWidth = 6,
        kDetectorHeight = 8,
        kDetectorSerial = 10,
        kDetectorGrade = 26,
        kDetectorDie = 42,
        kPixelXScale = 58,
        kPixelYScale = 60,
        kCrystalPolarity = 62,
        kChopperPresent = 63,
        kLensFocalLength = 64,
        kPulseGain = 66,
        kPulseOffset = 76,
        kChoppedGain = 86,
        kChoppedOffset = 96,
        kReservedA = 106,
        kReservedB = 138,
        kReservedC = 170,
        kReservedD = 202,
        kHScale = 226,
        kVScale = 230,
        kChopCalibration = 234,
        kCameraType = 236,
        kIBP = 238,
        kBPS = 246,
    };
    // Text fields with their sizes (the NUL included).
    struct TextField {
        std::size_t offset;
        std::size_t size;
    };
    static constexpr TextField kDetectorSerialText{kDetectorSerial, 16};
    static constexpr TextField kDetectorGradeText{kDetectorGrade, 16};
    static constexpr TextField kDetectorDieText{kDetectorDie, 16};
    static constexpr TextField kReservedAText{kReservedA, 32};
    static constexpr TextField kReservedBText{kReservedB, 32};
    static constexpr TextField kReservedCText{kReservedC, 32};
    static constexpr TextField kReservedDText{kReservedD, 24};

    std::uint16_t word(std::size_t offset) const;
    void setWord(std::size_t offset, std::uint16_t value);

    // Characters up to the first NUL, never past the field.
    std::string text(TextField field) const;
    // Copies at most size-1 characters and a NUL; the bytes after the NUL stay as they were.
    void setText(TextField field, const std::string& value);

    float floatLE(std::size_t offset) const;
    void setFloatLE(std::size_t offset, float value);

    std::uint16_t serialNumber() const { return word(kSerialNumber); }
    char hardwareRevision() const { return static_cast<char>(bytes[kHardwareRevision]); }
    std::uint8_t detectorType() const { return bytes[kDetectorType]; }
    std::uint16_t detectorWidth() const { return word(kDetectorWidth); }
    std::uint16_t detectorHeight() const { return word(kDetectorHeight); }
    std::uint8_t crystalPolarity() const { return bytes[kCrystalPolarity]; }
    std::uint8_t chopperPresent() const { return bytes[kChopperPresent]; }
    std::uint16_t lensFocalLength() const { return word(kLensFocalLength); }
    // index 0..4: entries for gain 1X, 2X, 4X, 8X, 10X.
    std::uint16_t pulseGain(int index) const { return word(kPulseGain + 2 * index); }
    std::uint16_t pulseOffset(int index) const { return word(kPulseOffset + 2 * index); }
    std::uint16_t choppedGain(int index) const { return word(kChoppedGain + 2 * index); }
    std::uint16_t choppedOffset(int index) const { return word(kChoppedOffset + 2 * index); }
    float hScale() const { return floatLE(kHScale); }
    float vScale() const { return floatLE(kVScale); }
    std::uint16_t chopCalibration() const { return word(kChopCalibration); }
    std::uint16_t cameraType() const { return word(kCameraType); }
    bool ibp() const { return bytes[kIBP] == 1; }
    bool bps() const { return bytes[kBPS] == 1; }
    // Held at chopped operation, 48 Hz, both corrections on.
    bool isFixedConfiguration() const { return ibp() || bps(); }
};

static_assert(sizeof(FactoryInfo) == FactoryInfo::kSize, "FactoryInfo must be exactly 256 bytes");

}  // namespace kestrom
