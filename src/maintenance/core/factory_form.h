// The factory dialog's view of a camera's factory record: every field as its control shows it,
// and the record built back from the controls.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "camera_records/factory_info.h"

namespace kestrom {

struct FactoryForm {
    std::string serialNumber;
    std::string hardwareRevision;   // one character, or empty for 0
    int detectorType = -1;          // item of "Silicon", "Kest"; -1: none
    std::string detectorWidth, detectorHeight, lensFocalLength;
    std::string detectorSerial, detectorGrade, detectorDie;
    std::string pixelXScale, pixelYScale;
    int crystalPolarity = -1;       // item of "Negative", "Positive"
    bool chopperPresent = false;
    std::array<std::string, 4> reserved;  // A .. D
    // Entries 1X, 2X, 4X, 8X, 10X.
    std::array<std::string, 5> pulseGain, pulseOffset, choppedGain, choppedOffset;
    float hScale = 1.0f, vScale = 1.0f;
    std::string chopCalibration;
    int cameraType = -1;            // item of "0", "1", "2"
    bool ibp = false, bps = false;
};

inline constexpr std::size_t kDetectorTextLength = 15;
inline constexpr std::size_t kReservedTextLength[4] = {31, 31, 31, 23};

FactoryForm showFactoryRecord(const FactoryInfo& record);

// Converts the form into the record in the controls' order. The detector texts are cut to 15
// characters, in the form too. A field that is no whole number ends the build: its text is
// returned and the record keeps the fields built before it. Whole numbers keep their low 16 bits.
// A list with no item chosen (a record value beyond its items) leaves the record's byte as it was.
std::optional<std::string> buildFactoryRecord(FactoryForm& form, FactoryInfo& record);

// A ".FAC" file over the start of the record: at most 256 bytes; a shorter file leaves the rest.
void applyFactoryFile(std::string_view bytes, FactoryInfo& record);

}  // namespace kestrom
