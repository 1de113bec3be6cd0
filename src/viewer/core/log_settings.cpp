// The rules of the data-logging dialog's entries.
#include "viewer/core/log_settings.h"

#include <charconv>

#include "viewer/core/log_names.h"

namespace kestrom {

std::int32_t integerOr(std::string_view text, std::int32_t fallback) {
    // from_chars takes "-" but not "+"; after a "+" only digits may follow.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9') return fallback;
    }
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : fallback;
}

std::string nthRecordsAfterChange(const std::string& text) {
    return integerOr(text, 0) <= 0 ? "1" : text;
}

LogSettings acceptedLogSettings(const LogDialogEntries& entries, LogTime now) {
    LogSettings settings;
    settings.logName = withDefaultLogExtension(entries.loggingFileName);
    settings.everyNth = integerOr(entries.nthRecords, 1);
    settings.tillTime = entries.tillTime;
    settings.stopTime = entries.tillTime ? entries.pickerTime : now;
    settings.framesLeft = entries.tillTime ? 0 : integerOr(entries.framesToLog, 1);
    return settings;
}

LogSettings cancelledLogSettings() { return LogSettings{}; }

}  // namespace kestrom
