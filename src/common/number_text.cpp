// Number parsing and formatting of the panel's fields.
#include "common/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kestrom {

namespace {

std::string trimmed(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

}  // namespace

std::optional<int> parseInteger(const std::string& text) {
    std::string t = trimmed(text);
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    int value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(const std::string& text) {
    std::string t = trimmed(text);
    if (!t.empty() && t[0] == '+') t.erase(0, 1);
    double value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string formatFixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string rateFromPeriod(int period, const std::string& notPositive) {
    if (period <= 0) return notPositive;
    return formatFixed(1e6 / period, 2);
}

std::optional<int> periodFromRate(const std::string& text) {
    auto hz = parseDecimal(text);
    if (!hz || *hz == 0) return std::nullopt;
    double us = std::trunc(1e6 / *hz);
    if (std::fabs(us) > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(us);
}

}  // namespace kestrom
