// Logging of arriving frames, one file per logged frame, as frame records or as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "viewer/core/log_settings.h"
#include "viewer/core/vasprel_header.h"

namespace kestrom {

// Idle, or running with the name of the next log file, which waits empty until a frame is written
// to it. A name that already holds a file is not emptied in advance: that file is replaced when a
// frame is written under its name and otherwise left as it was.
class FrameLog {
  public:
    // Starts a log with what the dialog gave (a cancelled dialog, an empty name, changes nothing,
    // a running log included); a running log is replaced, its waiting empty file removed. In text
    // mode the files end in ".CSV" whatever was typed. The message when the first file cannot be
    // created; logging then stays idle.
    std::optional<std::string> start(const LogSettings& settings, bool textMode);

    struct Step {
        enum class Outcome {
            Idle,     // no log runs
            Skipped,  // not an nth frame
            Written,  // written to file; the next file waits
            Ended,    // the stop test ended the log; the waiting file is removed
            Failed,   // error says what; the log has ended (file holds what was written, if any)
        } outcome = Outcome::Idle;
        std::string file;
        std::string error;
    };
    // One arriving frame: its frame block and the frame container's header as it is now (the
    // results of the frame before), at time now.
    Step step(const std::uint8_t* frameBlock, const VasprelHeader& header, LogTime now);

    // The view window closes: the waiting empty file is removed and the log ends.
    void end();

    bool running() const { return !logFile_.empty(); }
    const std::string& logFile() const { return logFile_; }
    std::int32_t logFileCounter() const { return logFileCounter_; }

  private:
    std::optional<std::string> prepare(const std::string& path);
    void removeWaitingFile();
    std::optional<std::string> write(const std::uint8_t* frameBlock,
                                     const VasprelHeader& header) const;

    std::string logName_;       // base name of the log files, without folder or extension
    std::string logFile_;       // the next file; empty when no log runs
    bool madeLogFile_ = false;  // logFile_ was created empty by this log
    std::int32_t logFileCounter_ = 0;
    std::int32_t everyNth_ = 1;
    std::int32_t nthCounter_ = 0;
    std::int32_t framesLeft_ = 0;
    bool tillTime_ = false;
    LogTime stopTime_{};
    bool textMode_ = false;
};

}  // namespace kestrom
