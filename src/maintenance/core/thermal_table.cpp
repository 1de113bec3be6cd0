#include "maintenance/core/thermal_table.h"

#include <locale.h>
#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

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

std::string formatThermalFile(const ThermalTable& table) {
    std::string text;
    const std::size_t n = table.used();
    for (std::size_t i = 0; i < n; ++i) {
        char line[400];
        const auto [end, error] =
            std::to_chars(line, line + sizeof line - 2, static_cast<double>(table.entries[i]), std::chars_format::fixed, 5);
        if (error != std::errc()) continue;
        text.append(line, end);
        text += "\r\n";
    }
    return text;
}

}  // namespace kestrom
