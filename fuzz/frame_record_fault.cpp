// The frame-record reader's rules checked against arbitrary bytes.
#include "fuzz/frame_record_fault.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <vector>
#include <cstring>
#include <string_view>

#include "viewer/core/beam_results_text.h"
#include "viewer/core/frame_header_ini.h"
#include "viewer/core/frame_header_text.h"
#include "viewer/core/frame_record.h"
#include "viewer/core/second_moment_record.h"
#include "viewer/core/second_moment_widths.h"

namespace kestrom::fuzz {

namespace {

std::int32_t word(const std::uint8_t* p) {
    std::int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::string recordFault(const std::uint8_t* data, std::size_t size) {
    using Outcome = FrameRecordParse::Outcome;
    FrameRecordParse parse = parseFrameRecord(data, size);
    Outcome expected = size == 0                    ? Outcome::Empty
                       : size < frame_record::kSize ? Outcome::Short
                       : size > frame_record::kSize ? Outcome::Long
                       : word(data + frame_record::kHeaderOffset + 16) != 124 ||
                               word(data + frame_record::kHeaderOffset + 20) != 124
                           ? Outcome::WrongFrameSize
                           : Outcome::Record;
    if (parse.outcome != expected)
        return "record of " + std::to_string(size) + " bytes: wrong outcome";
    if (expected != Outcome::Record) return {};
    if (std::memcmp(&parse.header, data + frame_record::kHeaderOffset, vasprel::kHeaderSize) != 0)
        return "record: header differs from its bytes";
    if (std::memcmp(parse.block.data(), data + frame_record::kBlockOffset, frame_block::kSize) != 0)
        return "record: frame block differs from its bytes";
    return {};
}

bool isHeaderSection(const std::string& name) {
    if (name.size() != kFrameHeaderSection.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(kFrameHeaderSection[i])))
            return false;
    return true;
}

// Read back, a line loses the blanks at its end (those at its start come before the key).
std::string_view withoutTrailingBlanks(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The line of a key in the text's first header section (named in any case), as read back.
const std::string* valueOf(const IniText& ini, const std::string& key) {
    for (const IniText::Section& section : ini.sections) {
        if (!isHeaderSection(section.name)) continue;
        for (const std::string& line : section.lines)
            if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
                line[key.size()] == '=')
                return &line;
        return nullptr;
    }
    return nullptr;
}

std::string headerTextFault(const std::uint8_t* data, std::size_t size) {
    // The bytes' first 320 as a header, as a loaded record may hold anything there.
    VasprelHeader header{};
    std::memcpy(&header, data, std::min(size, vasprel::kHeaderSize));
    const auto values = frameHeaderValues(header);
    for (const auto& [key, value] : values)
        if (value.find_first_of("\r\n", 0) != std::string::npos ||
            value.find('\0') != std::string::npos)
            return "header text: the value of " + key + " breaks its line";

    const std::string_view earlier(reinterpret_cast<const char*>(data), size);
    const std::string text = mergedFrameHeaderText(earlier, values, frame_record::kHeaderOffset);
    if (text.size() > frame_record::kHeaderOffset)
        return "header text: longer than its place in the record";
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        return "header text: no closing line end";
    const IniText again = IniText::parse(text);
    for (const auto& [key, value] : values) {
        const std::string* line = valueOf(again, key);
        if (!line) return "header text: " + key + " missing";
        if (std::string_view(*line).substr(key.size() + 1) != withoutTrailingBlanks(value))
            return "header text: " + key + " has the wrong value";
    }
    return {};
}

// The bytes after the first two as the pixels of a frame whose columns the first two give: the
// second moments of anything are numbers, the minor axis no longer than the major, the
// ellipticity within 0..1 and the azimuth within (-90, 90] degrees.
std::string secondMomentFault(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return {};
    const int width = 1 + (data[0] | (data[1] & 0x03) << 8);
    std::vector<std::int16_t> pixels((size - 2) / 2);
    std::memcpy(pixels.data(), data + 2, pixels.size() * 2);
    const int height = static_cast<int>(pixels.size()) / width;
    if (height < 1) return {};
    const SecondMomentWidths w = secondMomentWidths(pixels.data(), width, height);
    for (double v : {w.background, w.backgroundDeviation, w.centroidX, w.centroidY, w.sigmaXX,
                     w.sigmaYY, w.sigmaXY, w.widthX, w.widthY, w.major, w.minor,
                     w.azimuthRadians, w.ellipticity, w.effectiveDiameter})
        if (!std::isfinite(v)) return "second moments: a result is no number";
    if (w.minor > w.major || w.minor < 0) return "second moments: the minor axis is the longer";
    if (w.ellipticity < 0 || w.ellipticity > 1) return "second moments: ellipticity outside 0..1";
    if (!(w.azimuthRadians > -std::numbers::pi / 2) || w.azimuthRadians > std::numbers::pi / 2)
        return "second moments: azimuth outside (-90, 90]";
    if (w.passes > kMaxPasses) return "second moments: more passes than allowed";

    // The record's header as a loaded file may hold it, tagged as second-moment results: every
    // line of the results text is a number.
    VasprelHeader header{};
    std::memcpy(&header, data, std::min(size, vasprel::kHeaderSize));
    header.unused284 = kSecondMomentTag;
    BeamResultsTextSettings settings;
    settings.which = 0xFF;
    for (const BeamResultsLine& line : beamResultsLines(header, settings))
        if (line.value.find("nan") != std::string::npos || line.value.find("inf") != std::string::npos)
            return "results text: " + line.label + " is no number";
    return {};
}

}  // namespace

std::string frameRecordFault(const std::uint8_t* data, std::size_t size) {
    if (std::string fault = recordFault(data, size); !fault.empty()) return fault;
    if (std::string fault = secondMomentFault(data, size); !fault.empty()) return fault;
    return headerTextFault(data, size);
}

}  // namespace kestrom::fuzz
