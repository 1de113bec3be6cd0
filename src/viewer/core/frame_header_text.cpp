// Values of the header's keyed fields as the frame record's text writes them.
#include "viewer/core/frame_header_text.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kestrom {

namespace {

enum class Kind { Text, Int, Double, Date, Flag };

struct KeyedField {
    const char* key;
    std::size_t offset;
    Kind kind;
};

#define KEYED(field, kind) \
    { #field, offsetof(VasprelHeader, field), Kind::kind }
constexpr KeyedField kKeyedFields[] = {
    KEYED(Version, Text),
    KEYED(DateTime, Date),
    KEYED(Height, Int),
    KEYED(Width, Int),
    KEYED(PixelBits, Int),
    KEYED(CaptureResolution, Int),
    KEYED(PixelHScale, Double),
    KEYED(PixelVScale, Double),
    KEYED(Interlaced, Int),
    KEYED(FrameTotal, Double),
    KEYED(ApertureTotal, Double),
    KEYED(ApertureFrac, Double),
    KEYED(Peak, Double),
    KEYED(Valley, Double),
    KEYED(PeakLocx, Int),
    KEYED(PeakLocy, Int),
    KEYED(Centroidx, Double),
    KEYED(Centroidy, Double),
    KEYED(BeamWidthx, Double),
    KEYED(BeamWidthy, Double),
    KEYED(Diameter, Double),
    KEYED(Divergencex, Double),
    KEYED(Divergencey, Double),
    KEYED(EffectiveArea, Double),
    KEYED(ZLocation, Int),
    KEYED(WheelA, Int),
    KEYED(WheelB, Int),
    KEYED(FlagPass, Int),
    KEYED(FlagFail, Int),
    KEYED(FlagFrameTotal, Int),
    KEYED(FlagBeamWidthx, Int),
    KEYED(FlagBeamWidthy, Int),
    KEYED(FlagDivergencex, Int),
    KEYED(FlagDivergencey, Int),
    KEYED(FlagEffectiveArea, Int),
    KEYED(CenterXLoc, Double),
    KEYED(CenterYLoc, Double),
    KEYED(Major, Double),
    KEYED(Minor, Double),
    KEYED(Flags, Int),
    KEYED(AC, Int),
    KEYED(RS, Int),
    KEYED(Mean, Double),
    KEYED(Deviation, Double),
    KEYED(Exclude, Flag),
};
#undef KEYED

template <typename T>
T fieldAt(const VasprelHeader& header, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&header) + offset, sizeof value);
    return value;
}

std::string fieldText(const VasprelHeader& header, const KeyedField& field) {
    switch (field.kind) {
        case Kind::Text:
            // A line of the text ends at a line break; a loaded version text could hold one.
            return oneLineText(versionText(header));
        case Kind::Int:
            return std::to_string(fieldAt<std::int32_t>(header, field.offset));
        case Kind::Double:
            return doubleText(fieldAt<double>(header, field.offset));
        case Kind::Date:
            return dateTimeText(fieldAt<double>(header, field.offset));
        case Kind::Flag:
            return fieldAt<std::uint8_t>(header, field.offset) != 0 ? "1" : "0";
    }
    return {};
}

}  // namespace

std::string oneLineText(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

std::string doubleText(double value) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    return ec == std::errc() ? std::string(text, end) : std::string("0");
}

std::string dateTimeText(double days) {
    constexpr double kDayAfterLast = 2958466.0;  // 10000-01-01
    if (!std::isfinite(days) || std::fabs(days) >= kDayAfterLast) return doubleText(days);
    using namespace std::chrono;
    const double whole = std::trunc(days);
    // The time of a negative day count is its fraction taken as positive, as day counts go.
    long long millis = std::llround(std::fabs(days - whole) * 86400000.0);
    if (millis >= 86400000) millis = 86399999;
    const year_month_day date{sys_days{1899y / December / 30} +
                              std::chrono::days{static_cast<int>(whole)}};
    char text[40];
    int n = std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                          static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    if (days != whole) {
        long long seconds = millis / 1000;
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), " %02lld:%02lld:%02lld",
                      seconds / 3600, seconds / 60 % 60, seconds % 60);
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> frameHeaderValues(const VasprelHeader& header) {
    return frameHeaderValues(header, 0, vasprel::kHeaderSize);
}

std::vector<std::pair<std::string, std::string>> frameHeaderValues(const VasprelHeader& header,
                                                                   std::size_t begin,
                                                                   std::size_t end) {
    std::vector<std::pair<std::string, std::string>> values;
    values.reserve(std::size(kKeyedFields));
    for (const KeyedField& field : kKeyedFields)
        if (field.offset >= begin && field.offset < end)
            values.emplace_back(field.key, fieldText(header, field));
    return values;
}

}  // namespace kestrom
