// The frame-record reader's rules checked against arbitrary bytes.
#include "fuzz/frame_record_fault.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "viewer/core/frame_header_ini.h"
#include "viewer/core/frame_header_text.h"
#include "viewer/core/frame_record.h"

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

}  // namespace

std::string frameRecordFault(const std::uint8_t* data, std::size_t size) {
    if (std::string fault = recordFault(data, size); !fault.empty()) return fault;
    return headerTextFault(data, size);
}

}  // namespace kestrom::fuzz
