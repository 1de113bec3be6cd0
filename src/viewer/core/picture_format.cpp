#include "viewer/core/picture_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/number_text.h"

namespace kestrom {

std::string formatUngrouped(double value, int decimals) {
    if (!std::isfinite(value)) value = 0;
    std::string text;
    const double scaled = value * std::pow(10.0, decimals);
    if (std::fabs(scaled) < 9007199254740992.0) {
        // Whole numbers of the last decimal, so that a half rounds away from zero.
        const double r = std::round(scaled);
        text = formatFixed(std::fabs(r), 0);
        if (decimals > 0) {
            if (text.size() <= static_cast<std::size_t>(decimals))
                text.insert(0, static_cast<std::size_t>(decimals) + 1 - text.size(), '0');
            text.insert(text.size() - static_cast<std::size_t>(decimals), ".");
        }
        if (r < 0) text.insert(0, "-");
    } else {
        text = formatFixed(value, decimals);
    }
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string formatGrouped(double value, int decimals) {
    const std::string fixed = formatUngrouped(value, decimals);
    const std::size_t begin = !fixed.empty() && fixed[0] == '-' ? 1 : 0;
    std::size_t end = fixed.find('.');
    if (end == std::string::npos) end = fixed.size();
    // A separator before every third digit counted back from the decimal point.
    std::string text = fixed.substr(0, begin);
    for (std::size_t at = begin; at < end; ++at) {
        if (at > begin && (end - at) % 3 == 0) text += ',';
        text += fixed[at];
    }
    text += fixed.substr(end);
    return text;
}

std::string formatScientific(double value) {
    if (!std::isfinite(value)) value = 0;
    // The value's 17 significant digits, rounded to four with halves away from zero: the C
    // library rounds a half to even (1.2345e4 would become 1.234e+04).
    char text[64];
    *std::to_chars(text, text + sizeof text - 1, std::fabs(value), std::chars_format::scientific, 16).ptr = '\0';
    const char* e = std::strchr(text, 'e');
    int exponent = std::atoi(e + 1);
    int mantissa = (text[0] - '0') * 1000 + (text[2] - '0') * 100 + (text[3] - '0') * 10 +
                   (text[4] - '0');
    if (text[5] >= '5') ++mantissa;
    if (mantissa >= 10000) {
        mantissa /= 10;
        ++exponent;
    }
    if (mantissa == 0) exponent = 0;
    std::snprintf(text, sizeof text, "%s%d.%03de%c%02d", value < 0 && mantissa ? "-" : "",
                  mantissa / 1000, mantissa % 1000, exponent < 0 ? '-' : '+', std::abs(exponent));
    return text;
}

}  // namespace kestrom
