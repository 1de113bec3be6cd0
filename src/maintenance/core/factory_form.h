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
    // The record's texts are 8-bit characters, one byte each (a Latin-1 µ or °, an erased
    // record's 0xFF): the controls show them as Latin-1.
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


FactoryForm showFactoryRecord(const FactoryInfo& record);

// Converts the form into the record in the controls' order. A form shown from a record and built
// back over it gives the same 256 bytes. Changed texts are cut to their field (15 characters for
// the detector's, 31 or 23 for the reserved ones), in the form too. A field that is no whole
// number ends the build: its text is returned and the record keeps the fields built before it.
// Whole numbers keep their low 16 bits. A list with no item chosen (a record value beyond its
// items) leaves the record's byte as it was; so does a switch that shows what its byte says.
std::optional<std::string> buildFactoryRecord(FactoryForm& form, FactoryInfo& record);

// A ".FAC" file over the start of the record: at most 256 bytes; a shorter file leaves the rest.
void applyFactoryFile(std::string_view bytes, FactoryInfo& record);

}  // namespace kestrom
