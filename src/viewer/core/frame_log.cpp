// The per-frame logging step and the start and end of a log.
#include "viewer/core/frame_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "viewer/core/frame_file_replace.h"
#include "viewer/core/frame_record.h"
#include "viewer/core/log_csv.h"
#include "viewer/core/log_names.h"

namespace kestrom {

namespace {

std::string cannotCreate(const std::string& path, const char* reason) {
    return "Cannot create file \"" + path + "\". " + reason;
}

}  // namespace

std::optional<std::string> FrameLog::start(const LogSettings& settings, bool textMode) {
    if (settings.logName.empty()) return std::nullopt;
    end();
    LogFileNameParts parts = splitLogFileName(settings.logName);
    const std::string extension = textMode ? ".CSV" : parts.extension;
    const std::int32_t counter = settings.logFileCounter + 1;
    const std::string first = numberedLogFileName(parts.folder, parts.base, counter, extension);
    if (std::string wildcard = wildcardInLogName(first); !wildcard.empty()) return wildcard;
    if (auto failed = prepare(first)) return failed;
    logName_ = parts.base;
    logFile_ = first;
    logFileCounter_ = counter;
    everyNth_ = settings.everyNth;
    nthCounter_ = settings.nthCounter;
    framesLeft_ = settings.framesLeft;
    tillTime_ = settings.tillTime;
    stopTime_ = settings.stopTime;
    textMode_ = textMode;
    return std::nullopt;
}

FrameLog::Step FrameLog::step(const std::uint8_t* frameBlock, const VasprelHeader& header,
                              LogTime now) {
    using Outcome = Step::Outcome;
    if (!running()) return {};
    if (everyNth_ > 1) {
        if (++nthCounter_ != everyNth_) return {Outcome::Skipped, {}, {}};
        nthCounter_ = 0;
    }
    // A negative count ("Frames to log" typed as -5) stops like 0 instead of running on and on.
    const bool stop = tillTime_ ? now > stopTime_ : framesLeft_ <= 0;
    if (!tillTime_ && !stop) --framesLeft_;
    if (stop) {
        std::string waiting = logFile_;
        end();
        return {Outcome::Ended, waiting, {}};
    }
    const std::string written = logFile_;
    if (auto failed = write(frameBlock, header)) {
        end();
        return {Outcome::Failed, {}, *failed + ". Logging has stopped."};
    }
    madeLogFile_ = false;
    LogFileNameParts parts = splitLogFileName(written);
    const std::string next =
        numberedLogFileName(parts.folder, logName_, ++logFileCounter_, parts.extension);
    if (auto failed = prepare(next)) {
        logFile_.clear();
        return {Outcome::Failed, written, *failed + ". Logging has stopped."};
    }
    logFile_ = next;
    return {Outcome::Written, written, {}};
}

void FrameLog::end() {
    removeWaitingFile();
    logFile_.clear();
    madeLogFile_ = false;
}

std::optional<std::string> FrameLog::write(const std::uint8_t* frameBlock,
                                           const VasprelHeader& header) const {
    std::string bytes;
    if (textMode_) {
        bytes = frameCsvText(frameBlock);
    } else {
        FrameRecordBytes record = frameRecordFor(logFile_, header, frameBlock);
        if (record.error) return record.error;
        bytes = std::move(record.bytes);
    }
    // The empty file this log made takes the frame where it stands; a file that was there before
    // the log is replaced only by a whole one.
    auto failed =
        madeLogFile_ ? fillEmptyFile(logFile_, bytes) : replaceFileWhole(logFile_, {bytes});
    if (failed) return describe(*failed, logFile_);
    return std::nullopt;
}

// The next file is made empty now, so that a folder that cannot take it is reported at once.
std::optional<std::string> FrameLog::prepare(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return cannotCreate(path, "It is not a regular file");
        madeLogFile_ = false;
        return std::nullopt;
    }
    if (errno != ENOENT) return cannotCreate(path, std::strerror(errno));
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return cannotCreate(path, std::strerror(errno));
    ::close(fd);
    madeLogFile_ = true;
    return std::nullopt;
}

void FrameLog::removeWaitingFile() {
    if (!madeLogFile_ || logFile_.empty()) return;
    struct stat st {};
    // Only the empty file this log made; whatever else took its place since stays.
    if (::lstat(logFile_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        ::unlink(logFile_.c_str());
}

}  // namespace kestrom
