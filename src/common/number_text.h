// How the system reads numbers typed by the user and writes numbers into fields, files and
// messages: always with '.' as the decimal point and no grouping, whatever locale the user runs in.
#pragma once

#include <optional>
#include <string>

namespace kestrom {

// A whole decimal number with an optional sign, surrounding spaces allowed; nothing when the
// text is not one or does not fit 32 bits.
std::optional<int> parseInteger(const std::string& text);
// The raw gain and offset fields take text that is not an integer as 0.
inline int integerOrZero(const std::string& text) { return parseInteger(text).value_or(0); }
// A decimal number such as "3", "2.5" or "1e1"; nothing when the text is not one.
std::optional<double> parseDecimal(const std::string& text);

// "%.*f" as in the C locale.
std::string formatFixed(double value, int decimals);
// "%.*g" as in the C locale.
std::string formatGeneral(double value, int significant);

// The standard conversion errors: "'<text>' is not a valid integer value" and the same for a
// floating point value.
inline std::string notAnIntegerText(const std::string& text) { return "'" + text + "' is not a valid integer value"; }
inline std::string notADecimalText(const std::string& text) {
    return "'" + text + "' is not a valid floating point value";
}

// A rate in Hz from a period in microseconds, "%.2f"; notPositive is shown for a period <= 0.
std::string rateFromPeriod(int periodMicroseconds, const std::string& notPositive);
// The period in microseconds for a rate typed in Hz, truncated toward zero; nothing for 0 or a
// text that is not a number.
std::optional<int> periodFromRate(const std::string& text);

}  // namespace kestrom
