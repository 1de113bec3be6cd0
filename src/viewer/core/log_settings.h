// What the data-logging dialog hands the view window: the log to start, or nothing when cancelled.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrom {

using LogTime = std::chrono::system_clock::time_point;

struct LogSettings {
    std::string logName;  // as typed, with ".RAW" added when it had no extension; empty: cancelled
    std::int32_t everyNth = 1;
    std::int32_t nthCounter = 0;
    std::int32_t logFileCounter = 0;
    bool tillTime = false;
    LogTime stopTime{};
    std::int32_t framesLeft = 0;
};

// The entries of the dialog when "OK" is pressed.
struct LogDialogEntries {
    std::string loggingFileName;
    std::string nthRecords;
    std::string framesToLog;
    bool tillTime = false;  // "Log till time" chosen rather than "Log nn frames"
    LogTime pickerTime{};   // date and time of the time picker
};

// "OK": the name with ".RAW" when it has no extension, every-nth and the frame count parsed with
// default 1, counters at 0; in count mode the stop time is now, in till-time mode the picker's.
LogSettings acceptedLogSettings(const LogDialogEntries& entries, LogTime now);
// "Cancel": no log (empty name), every-nth 1, counters and frames left 0.
LogSettings cancelledLogSettings();

// A decimal integer that fits 32 bits, with an optional sign; any other text gives fallback.
std::int32_t integerOr(std::string_view text, std::int32_t fallback);

// The text "Log every" keeps after a change: a positive integer stays, anything else becomes "1".
std::string nthRecordsAfterChange(const std::string& text);

}  // namespace kestrom
