// The intermediate "FrameHeader" file: an INI text read first, its header keys replaced, written
// back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrom {

inline constexpr const char* kFrameHeaderFileName = "FrameHeader";

// An INI text as a list of sections, each with its lines in order. Reading drops blank lines,
// comment lines (";") and lines before the first section, and trims each line, so what is written
// back is each section line, its lines and one empty line, every line ending with CR LF.
struct IniText {
    struct Section {
        std::string name;
        std::vector<std::string> lines;
    };
    std::vector<Section> sections;

    static IniText parse(std::string_view text);
    // Replaces the line of key (names compare without regard to case) in the first section of
    // that name, or appends "key=value" to it; a missing section is added at the end.
    void set(std::string_view section, std::string_view key, std::string_view value);
    std::string render() const;
};

// The header text to copy to the front of a frame record: the earlier intermediate file's text
// (empty when there was none or it was no INI text) with the given keys of the "Header" section
// replaced. When the result would not fit in front of the raw header, only the "Header" section
// is written, so that the header is never overwritten.
std::string mergedFrameHeaderText(std::string_view earlier,
                                  const std::vector<std::pair<std::string, std::string>>& values,
                                  std::size_t limit);

}  // namespace kestrom
