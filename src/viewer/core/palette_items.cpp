// Reading and writing the text lines of a palette.
#include "viewer/core/palette_items.h"

#include <charconv>
#include <cmath>

namespace kestrom {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One decimal number as the C library reads one, but in every locale the same: blanks, an
// optional sign, digits with an optional point and exponent. Hexadecimal is not decimal.
std::optional<double> readNumber(std::string_view& text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool plus = i < text.size() && text[i] == '+';
    if (plus) ++i;
    if (plus && i < text.size() && text[i] == '-') return std::nullopt;
    double value = 0;
    auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// The low 8 bits of a number truncated toward zero, exact for every finite double.
std::uint8_t low8Bits(double value) {
    double m = std::fmod(std::trunc(value), 256.0);
    if (m < 0) m += 256.0;
    return static_cast<std::uint8_t>(m);
}

// A line as a message shows it: at most 40 bytes, cut between characters, controls as "?".
std::string shown(std::string_view line) {
    constexpr std::size_t kShown = 40;
    bool cut = line.size() > kShown;
    if (cut) {
        std::size_t n = kShown;
        while (n > 0 && (static_cast<unsigned char>(line[n]) & 0xC0) == 0x80) --n;
        line = line.substr(0, n);
    }
    std::string out;
    for (char c : line) out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    return cut ? out + "..." : out;
}

}  // namespace

std::optional<ItemsLine> readItemsLine(std::string_view line) {
    ItemsLine r{};
    for (double* field : {&r.index, &r.red, &r.green, &r.blue}) {
        std::optional<double> v = readNumber(line);
        if (!v) return std::nullopt;
        *field = *v;
    }
    return r;
}

std::vector<std::size_t> applyItems(const std::vector<std::string>& lines, LogPalette& palette) {
    std::vector<std::size_t> junk;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::optional<ItemsLine> line = readItemsLine(lines[n]);
        if (!line) {
            junk.push_back(n);
            continue;
        }
        double index = std::trunc(line->index);
        if (index < 0 || index >= kPaletteSize) continue;
        palette.entries[static_cast<std::size_t>(index)] = {low8Bits(line->red), low8Bits(line->green),
                                                            low8Bits(line->blue), kNoCollapse};
    }
    return junk;
}

std::vector<std::string> itemsFromPalette(const LogPalette& palette) {
    std::vector<std::string> lines;
    lines.reserve(kPaletteSize);
    for (int i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry& e = palette.entries[static_cast<std::size_t>(i)];
        lines.push_back(std::to_string(i) + " " + std::to_string(e.red) + " " + std::to_string(e.green) +
                        " " + std::to_string(e.blue));
    }
    return lines;
}

std::string itemsText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string junkItemsMessage(const std::vector<std::string>& lines,
                             const std::vector<std::size_t>& junk) {
    constexpr std::size_t kListed = 5;
    std::string text = "Palette lines that are not an entry number with red, green and blue were "
                       "ignored:\n";
    for (std::size_t k = 0; k < junk.size() && k < kListed; ++k)
        text += "line " + std::to_string(junk[k] + 1) + ": \"" + shown(lines[junk[k]]) + "\"\n";
    if (junk.size() > kListed) text += "and " + std::to_string(junk.size() - kListed) + " more.\n";
    return text;
}

}  // namespace kestrom
