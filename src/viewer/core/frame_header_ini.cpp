// Reading, key replacement and writing of the INI text that heads each frame record.
#include "viewer/core/frame_header_ini.h"

#include <algorithm>

#include "viewer/core/frame_header_text.h"

namespace kestrom {

namespace {

std::string_view trimmed(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

IniText IniText::parse(std::string_view text) {
    IniText ini;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trimmed(text.substr(start, end - start));
        start = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            ini.sections.push_back({std::string(trimmed(line.substr(1, line.size() - 2))), {}});
        } else if (!ini.sections.empty()) {
            ini.sections.back().lines.emplace_back(line);
        }
    }
    return ini;
}

void IniText::set(std::string_view section, std::string_view key, std::string_view value) {
    auto s = std::find_if(sections.begin(), sections.end(),
                          [&](const Section& x) { return sameName(x.name, section); });
    if (s == sections.end()) {
        sections.push_back({std::string(section), {}});
        s = sections.end() - 1;
    }
    std::string line = std::string(key) + "=" + std::string(value);
    for (std::string& existing : s->lines) {
        std::size_t equals = existing.find('=');
        if (equals != std::string::npos &&
            sameName(trimmed(std::string_view(existing).substr(0, equals)), key)) {
            existing = std::move(line);
            return;
        }
    }
    s->lines.push_back(std::move(line));
}

std::string IniText::render() const {
    std::string text;
    for (const Section& section : sections) {
        text += "[" + section.name + "]\r\n";
        for (const std::string& line : section.lines) text += line + "\r\n";
        text += "\r\n";
    }
    return text;
}

std::string mergedFrameHeaderText(std::string_view earlier,
                                  const std::vector<std::pair<std::string, std::string>>& values,
                                  std::size_t limit) {
    auto withValues = [&](IniText ini) {
        for (const auto& [key, value] : values) ini.set(kFrameHeaderSection, key, value);
        return ini.render();
    };
    // Text with NUL bytes is no INI text; nothing of it is kept.
    std::string text =
        earlier.find('\0') == std::string_view::npos ? withValues(IniText::parse(earlier)) : "";
    if (text.empty() || text.size() > limit) text = withValues(IniText{});
    return text;
}

}  // namespace kestrom
