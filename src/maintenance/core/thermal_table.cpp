#include "maintenance/core/thermal_table.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "common/number_text.h"

namespace kestrom {

std::size_t ThermalTable::used() const {
    std::size_t n = 0;
    while (n < kThermalEntries && entries[n] != 0.0f) ++n;
    return n;
}

void ThermalTable::toBytes(std::uint8_t* buffer) const {
    for (std::size_t i = 0; i < kThermalEntries; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &entries[i], sizeof bits);
        for (int b = 0; b < 4; ++b) buffer[4 * i + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(bits >> (8 * b));
    }
}

void ThermalTable::fromBytes(const std::uint8_t* buffer) {
    for (std::size_t i = 0; i < kThermalEntries; ++i) {
        std::uint32_t bits = 0;
        for (int b = 0; b < 4; ++b) bits |= std::uint32_t(buffer[4 * i + static_cast<std::size_t>(b)]) << (8 * b);
        std::memcpy(&entries[i], &bits, sizeof bits);
    }
}

ThermalTable parseThermalFile(std::string_view text) {
    ThermalTable table;
    // The C library's conversion in its own locale, whatever locale the user runs the console in;
    // it wants a terminated string, and a NUL inside the file ends the numbers there.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const std::string terminated(text);
    const char* at = terminated.c_str();
    const std::size_t count = std::min(text.size() / 4, kThermalEntries);
    for (std::size_t i = 0; i < count; ++i) {
        char* end = nullptr;
        const double value = strtod_l(at, &end, cLocale);
        if (end == at) break;  // no number here, nor after it
        table.entries[i] = static_cast<float>(value);
        at = end;
    }
    return table;
}

namespace {

float readBack(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return static_cast<float>(value);
}

std::string valueText(float value) {
    const std::string fixed = formatFixed(static_cast<double>(value), 5);
    if (readBack(fixed) == value) return fixed;
    // Five decimals would lose it ("0.00000" would even end the table when read back): the
    // shortest text that gives the same value back, read as the reader does (a double made a
    // float); nine digits always do.
    char text[64];
    const std::string shortest(text, std::to_chars(text, text + sizeof text, value).ptr);
    return readBack(shortest) == value ? shortest : formatGeneral(static_cast<double>(value), 9);
}

}  // namespace

std::string formatThermalFile(const ThermalTable& table) {
    std::string text;
    const std::size_t n = table.used();
    for (std::size_t i = 0; i < n; ++i) text += valueText(table.entries[i]) + "\r\n";
    return text;
}

}  // namespace kestrom
