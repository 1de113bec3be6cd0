// Number parsing and formatting in one form for every locale: std::from_chars and std::to_chars
// never look at the locale that Qt sets for the process, while printf and strtod do.
#include "common/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kestrom {

namespace {

std::string trimmed(const std::string& text) {
    std::size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    std::size_t e = text.find_last_not_of(" \t");
    return text.substr(b, e - b + 1);
}

std::string formatted(double value, std::chars_format format, int precision) {
    // The longest "%f" of a double: 309 digits before the point, the decimals and a sign.
    char buffer[400 + 64];
    precision = std::clamp(precision, 0, 64);
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (error != std::errc()) return "0";
    return std::string(buffer, end);
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

std::string formatFixed(double value, int decimals) { return formatted(value, std::chars_format::fixed, decimals); }

std::string formatGeneral(double value, int significant) {
    return formatted(value, std::chars_format::general, significant);
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
