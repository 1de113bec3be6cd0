#include "maintenance/core/factory_form.h"

#include <algorithm>
#include <cstdint>

#include "common/number_text.h"

namespace kestrom {
namespace {

// The record's fields that a whole number edits, in the controls' order after the first ones.
struct WordField {
    std::string FactoryForm::*text;
    std::size_t offset;
};

constexpr std::size_t kTable = 5;

int itemOf(int value, int items) { return value >= 0 && value < items ? value : -1; }

}  // namespace

FactoryForm showFactoryRecord(const FactoryInfo& r) {
    FactoryForm f;
    f.serialNumber = std::to_string(r.serialNumber());
    f.hardwareRevision = r.hardwareRevision() == '\0' ? std::string() : std::string(1, r.hardwareRevision());
    f.detectorType = itemOf(r.detectorType(), 2);
    f.detectorWidth = std::to_string(r.detectorWidth());
    f.detectorHeight = std::to_string(r.detectorHeight());
    f.lensFocalLength = std::to_string(r.lensFocalLength());
    f.detectorSerial = r.text(FactoryInfo::kDetectorSerialText);
    f.detectorGrade = r.text(FactoryInfo::kDetectorGradeText);
    f.detectorDie = r.text(FactoryInfo::kDetectorDieText);
    f.pixelXScale = std::to_string(r.word(FactoryInfo::kPixelXScale));
    f.pixelYScale = std::to_string(r.word(FactoryInfo::kPixelYScale));
    f.crystalPolarity = itemOf(r.crystalPolarity(), 2);
    f.chopperPresent = r.chopperPresent() != 0;
    f.reserved = {r.text(FactoryInfo::kReservedAText), r.text(FactoryInfo::kReservedBText),
                  r.text(FactoryInfo::kReservedCText), r.text(FactoryInfo::kReservedDText)};
    for (std::size_t i = 0; i < kTable; ++i) {
        const int k = static_cast<int>(i);
        f.pulseGain[i] = std::to_string(r.pulseGain(k));
        f.pulseOffset[i] = std::to_string(r.pulseOffset(k));
        f.choppedGain[i] = std::to_string(r.choppedGain(k));
        f.choppedOffset[i] = std::to_string(r.choppedOffset(k));
    }
    f.hScale = r.hScale();
    f.vScale = r.vScale();
    f.chopCalibration = std::to_string(r.chopCalibration());
    f.cameraType = itemOf(static_cast<std::int16_t>(r.cameraType()), 3);
    f.ibp = r.bytes[FactoryInfo::kIBP] == 1;
    f.bps = r.bytes[FactoryInfo::kBPS] == 1;
    return f;
}

std::optional<std::string> buildFactoryRecord(FactoryForm& f, FactoryInfo& r) {
    // A whole number's low 16 bits, or the text that is none.
    auto word = [&r](const std::string& text, std::size_t offset) -> bool {
        const std::optional<int> value = parseInteger(text);
        if (!value) return false;
        r.setWord(offset, static_cast<std::uint16_t>(static_cast<std::uint32_t>(*value) & 0xFFFF));
        return true;
    };
    auto item = [&r](int index, std::size_t offset) {
        if (index >= 0) r.bytes[offset] = static_cast<std::uint8_t>(index);
    };
    // A text as the record holds it stays byte for byte, also one that fills its field without a
    // NUL (an erased record); another is cut to what the field holds before its NUL, in the form too.
    auto text = [&r](std::string& value, FactoryInfo::TextField field) {
        if (value == r.text(field)) return;
        if (value.size() > field.size - 1) value.resize(field.size - 1);
        r.setText(field, value);
    };
    // A switch that shows what the byte says leaves the byte, whatever other value it held.
    auto flag = [&r](bool on, std::size_t offset, bool shownOn) {
        if (on != shownOn) r.bytes[offset] = on ? 1 : 0;
    };

    if (!word(f.serialNumber, FactoryInfo::kSerialNumber)) return f.serialNumber;
    r.bytes[FactoryInfo::kHardwareRevision] =
        f.hardwareRevision.empty() ? 0 : static_cast<std::uint8_t>(f.hardwareRevision[0]);
    item(f.detectorType, FactoryInfo::kDetectorType);
    const WordField sizes[] = {{&FactoryForm::detectorWidth, FactoryInfo::kDetectorWidth},
                               {&FactoryForm::detectorHeight, FactoryInfo::kDetectorHeight},
                               {&FactoryForm::lensFocalLength, FactoryInfo::kLensFocalLength}};
    for (const WordField& w : sizes)
        if (!word(f.*w.text, w.offset)) return f.*w.text;
    text(f.detectorSerial, FactoryInfo::kDetectorSerialText);
    text(f.detectorGrade, FactoryInfo::kDetectorGradeText);
    text(f.detectorDie, FactoryInfo::kDetectorDieText);
    if (!word(f.pixelXScale, FactoryInfo::kPixelXScale)) return f.pixelXScale;
    if (!word(f.pixelYScale, FactoryInfo::kPixelYScale)) return f.pixelYScale;
    item(f.crystalPolarity, FactoryInfo::kCrystalPolarity);
    flag(f.chopperPresent, FactoryInfo::kChopperPresent, r.chopperPresent() != 0);
    const FactoryInfo::TextField reserved[] = {FactoryInfo::kReservedAText, FactoryInfo::kReservedBText,
                                               FactoryInfo::kReservedCText, FactoryInfo::kReservedDText};
    for (std::size_t i = 0; i < 4; ++i) text(f.reserved[i], reserved[i]);
    const std::pair<std::array<std::string, 5>*, std::size_t> tables[] = {
        {&f.pulseGain, FactoryInfo::kPulseGain},
        {&f.pulseOffset, FactoryInfo::kPulseOffset},
        {&f.choppedGain, FactoryInfo::kChoppedGain},
        {&f.choppedOffset, FactoryInfo::kChoppedOffset}};
    for (const auto& [table, offset] : tables)
        for (std::size_t i = 0; i < kTable; ++i)
            if (!word((*table)[i], offset + 2 * i)) return (*table)[i];
    r.setFloatLE(FactoryInfo::kHScale, f.hScale);
    r.setFloatLE(FactoryInfo::kVScale, f.vScale);
    if (!word(f.chopCalibration, FactoryInfo::kChopCalibration)) return f.chopCalibration;
    if (f.cameraType >= 0) r.setWord(FactoryInfo::kCameraType, static_cast<std::uint16_t>(f.cameraType));
    flag(f.ibp, FactoryInfo::kIBP, r.ibp());
    flag(f.bps, FactoryInfo::kBPS, r.bps());
    return std::nullopt;
}

void applyFactoryFile(std::string_view bytes, FactoryInfo& record) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), FactoryInfo::kSize), record.bytes.begin());
}

}  // namespace kestrom
