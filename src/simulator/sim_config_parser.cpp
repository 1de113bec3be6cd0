// Reads the simulated cameras from a configuration file.
//
// The format is line-oriented text. A line is blank, a comment (first non-blank character '#' or
// ';'), a section header "[camera]", or "key = value"; a '#' after white space ends the line's
// content, so values may carry a remark. Keys before the first section are global:
//   state_dir = PATH          where cameras keep their state (empty: nothing persists)
//   deterministic = yes|no    frames on demand and hand-moved time, for tests
//   seed = N                  seed of the detector noise
// Each "[camera]" section describes one camera; "device" is required, the rest have defaults:
//   device = 0..10            the camera answers at "\\.\Kestrom<device>"
//   serial = 0..65535         also names its state folder
//   firmware = v1.05          revision text of the status block (at most 31 characters)
//   hardware_revision = B     one character
//   camera_type = 0           0 normal, 1 thermal
//   chopper, ibp, bps, attached, factory_maps, pixel_correction, gain_correction = yes|no
//   pulse_gain, pulse_offset, chopped_gain, chopped_offset = five numbers 0..65535 (1X 2X 4X 8X 10X)
//   thermal_table = numbers   the thermal camera's table
//   beam_shape = gaussian|tophat|uniform, beam_x, beam_y, beam_width_x, beam_width_y (pixels),
//   beam_power (1.0 fills half the range at 1X), beam_drift (pixels per second),
//   pulse_rate (laser pulses per second; 0: none), noise (r.m.s., frame values)
// Errors name the file and line: "<file>:<line>: <what>".
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "platform/regular_file.h"
#include "simulator/sim_driver.h"

namespace kestrom::sim {

namespace {

constexpr std::size_t kLargestConfigFile = 1024 * 1024;
constexpr std::size_t kLargestFirmwareText = 31;

std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

std::string_view withoutRemark(std::string_view line) {
    for (std::size_t i = 1; i < line.size(); ++i)
        if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

// Shows text from a file in a message without control bytes or unbounded length.
std::string shown(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 40)) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (s.size() > 40) out += "...";
    return out;
}

std::vector<std::string> words(const std::string& value) {
    std::istringstream in(value);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool parseInteger(const std::string& text, long long& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && !text.empty();
}

bool parseReal(const std::string& text, double& out) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && p == end && !text.empty() && std::isfinite(out);
}

// One line's value, converted with a message on failure.
class Value {
public:
    Value(std::string key, std::string text, std::string& error) : key_(std::move(key)), text_(std::move(text)), error_(error) {}

    bool integer(long long low, long long high, long long& out, const char* what = nullptr) {
        if (text_.empty()) return fail("missing value for " + key_);
        if (!parseInteger(text_, out)) return fail("bad number '" + shown(text_) + "' for " + key_);
        if (out < low || out > high)
            return fail(std::string(what ? what : key_.c_str()) + " " + text_ + " outside " + std::to_string(low) +
                        ".." + std::to_string(high));
        return true;
    }

    bool real(double low, double& out) {
        if (text_.empty()) return fail("missing value for " + key_);
        if (!parseReal(text_, out)) return fail("bad number '" + shown(text_) + "' for " + key_);
        if (out < low) return fail(key_ + " " + text_ + " below " + std::to_string(static_cast<int>(low)));
        return true;
    }

    bool flag(bool& out) {
        static const std::set<std::string> yes{"yes", "true", "on", "1"}, no{"no", "false", "off", "0"};
        if (yes.count(text_)) return (out = true), true;
        if (no.count(text_)) return (out = false), true;
        return fail("expected yes or no for " + key_ + ", not '" + shown(text_) + "'");
    }

    bool table(std::array<std::uint16_t, 5>& out) {
        auto w = words(text_);
        if (w.size() != 5) return fail(key_ + " needs five numbers (1X 2X 4X 8X 10X)");
        for (int i = 0; i < 5; ++i) {
            long long v;
            if (!parseInteger(w[i], v)) return fail("bad number '" + shown(w[i]) + "' for " + key_);
            if (v < 0 || v > 65535) return fail(key_ + " entry " + w[i] + " outside 0..65535");
            out[i] = static_cast<std::uint16_t>(v);
        }
        return true;
    }

    bool reals(std::vector<float>& out) {
        out.clear();
        for (const std::string& w : words(text_)) {
            double v;
            if (!parseReal(w, v)) return fail("bad number '" + shown(w) + "' for " + key_);
            out.push_back(static_cast<float>(v));
        }
        return true;
    }

    const std::string& text() const { return text_; }
    bool fail(const std::string& what) {
        error_ = what;
        return false;
    }

private:
    std::string key_, text_;
    std::string& error_;
};

using CameraKey = std::function<bool(CameraConfig&, Value&)>;
using GlobalKey = std::function<bool(Config&, Value&)>;

const std::map<std::string, GlobalKey>& globalKeys() {
    static const std::map<std::string, GlobalKey> keys{
        {"state_dir", [](Config& c, Value& v) { c.stateDirectory = v.text(); return true; }},
        {"deterministic", [](Config& c, Value& v) { return v.flag(c.deterministic); }},
        {"seed", [](Config& c, Value& v) {
             long long n;
             if (!v.integer(0, INT64_MAX, n)) return false;
             c.seed = static_cast<std::uint64_t>(n);
             return true;
         }},
    };
    return keys;
}

bool realKey(Value& v, double low, double& target) { return v.real(low, target); }

const std::map<std::string, CameraKey>& cameraKeys() {
    static const std::map<std::string, CameraKey> keys{
        {"device", [](CameraConfig& c, Value& v) {
             long long n;
             if (!v.integer(0, kDeviceNameCount - 1, n, "device index")) return false;
             c.deviceIndex = static_cast<int>(n);
             return true;
         }},
        {"serial", [](CameraConfig& c, Value& v) {
             long long n;
             if (!v.integer(0, 65535, n)) return false;
             c.serial = static_cast<std::uint16_t>(n);
             return true;
         }},
        {"firmware", [](CameraConfig& c, Value& v) {
             if (v.text().size() > kLargestFirmwareText) return v.fail("firmware text longer than 31 characters");
             c.firmware = v.text();
             return true;
         }},
        {"hardware_revision", [](CameraConfig& c, Value& v) {
             if (v.text().size() != 1) return v.fail("hardware_revision must be one character");
             c.hardwareRevision = v.text()[0];
             return true;
         }},
        {"camera_type", [](CameraConfig& c, Value& v) {
             long long n;
             if (!v.integer(0, 65535, n)) return false;
             c.cameraType = static_cast<std::uint16_t>(n);
             return true;
         }},
        {"chopper", [](CameraConfig& c, Value& v) { return v.flag(c.chopper); }},
        {"ibp", [](CameraConfig& c, Value& v) { return v.flag(c.ibp); }},
        {"bps", [](CameraConfig& c, Value& v) { return v.flag(c.bps); }},
        {"attached", [](CameraConfig& c, Value& v) { return v.flag(c.attached); }},
        {"factory_maps", [](CameraConfig& c, Value& v) { return v.flag(c.factoryMaps); }},
        {"pixel_correction", [](CameraConfig& c, Value& v) { return v.flag(c.pixelCorrection); }},
        {"gain_correction", [](CameraConfig& c, Value& v) { return v.flag(c.gainCorrection); }},
        {"pulse_gain", [](CameraConfig& c, Value& v) { return v.table(c.pulseGain); }},
        {"pulse_offset", [](CameraConfig& c, Value& v) { return v.table(c.pulseOffset); }},
        {"chopped_gain", [](CameraConfig& c, Value& v) { return v.table(c.choppedGain); }},
        {"chopped_offset", [](CameraConfig& c, Value& v) { return v.table(c.choppedOffset); }},
        {"thermal_table", [](CameraConfig& c, Value& v) { return v.reals(c.thermalTable); }},
        {"beam_shape", [](CameraConfig& c, Value& v) {
             if (v.text() == "gaussian")
                 c.beam.shape = BeamConfig::Shape::Gaussian;
             else if (v.text() == "tophat")
                 c.beam.shape = BeamConfig::Shape::TopHat;
             else if (v.text() == "uniform")
                 c.beam.shape = BeamConfig::Shape::Uniform;
             else
                 return v.fail("beam_shape is gaussian, tophat or uniform, not '" + shown(v.text()) + "'");
             return true;
         }},
        {"beam_x", [](CameraConfig& c, Value& v) { return realKey(v, -1e6, c.beam.x); }},
        {"beam_y", [](CameraConfig& c, Value& v) { return realKey(v, -1e6, c.beam.y); }},
        {"beam_width_x", [](CameraConfig& c, Value& v) { return realKey(v, 0, c.beam.widthX); }},
        {"beam_width_y", [](CameraConfig& c, Value& v) { return realKey(v, 0, c.beam.widthY); }},
        {"beam_power", [](CameraConfig& c, Value& v) { return realKey(v, 0, c.beam.power); }},
        {"beam_drift", [](CameraConfig& c, Value& v) { return realKey(v, 0, c.beam.driftPixelsPerSecond); }},
        {"pulse_rate", [](CameraConfig& c, Value& v) { return realKey(v, 0, c.beam.pulseRateHz); }},
        {"noise", [](CameraConfig& c, Value& v) { return realKey(v, 0, c.beam.noise); }},
    };
    return keys;
}

struct Section {
    CameraConfig camera;
    int headerLine = 0;
    std::set<std::string> keysSeen;
};

}  // namespace

std::optional<Config> parseConfig(const std::string& text, const std::string& fileName, std::string& error) {
    Config config;
    std::optional<Section> section;
    std::set<std::string> globalsSeen;
    std::map<int, int> deviceLines;     // device index -> line that claimed it
    int lineNumber = 0;
    auto failAt = [&](int line, const std::string& what) {
        error = fileName + ":" + std::to_string(line) + ": " + what;
        return std::nullopt;
    };
    auto finish = [&]() -> bool {
        if (!section) return true;
        if (!section->keysSeen.count("device")) {
            failAt(section->headerLine, "camera section without a device");
            return false;
        }
        config.cameras.push_back(section->camera);
        section.reset();
        return true;
    };

    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = trim(withoutRemark(std::string_view(text).substr(pos, end - pos)));
        pos = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line != "[camera]") return failAt(lineNumber, "unknown section '" + shown(line) + "'");
            if (!finish()) return std::nullopt;
            section.emplace();
            section->headerLine = lineNumber;
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) return failAt(lineNumber, "expected 'key = value'");
        std::string key = trim(std::string_view(line).substr(0, eq));
        std::string message;
        Value value(key, trim(std::string_view(line).substr(eq + 1)), message);

        if (!section) {
            auto it = globalKeys().find(key);
            if (it == globalKeys().end()) {
                if (cameraKeys().count(key)) return failAt(lineNumber, "'" + key + "' belongs in a [camera] section");
                return failAt(lineNumber, "unknown key '" + shown(key) + "'");
            }
            if (!globalsSeen.insert(key).second) return failAt(lineNumber, "duplicate key '" + key + "'");
            if (!it->second(config, value)) return failAt(lineNumber, message);
            continue;
        }
        auto it = cameraKeys().find(key);
        if (it == cameraKeys().end()) {
            if (globalKeys().count(key)) return failAt(lineNumber, "'" + key + "' belongs before the first [camera]");
            return failAt(lineNumber, "unknown key '" + shown(key) + "'");
        }
        if (!section->keysSeen.insert(key).second) return failAt(lineNumber, "duplicate key '" + key + "'");
        if (!it->second(section->camera, value)) return failAt(lineNumber, message);
        if (key == "device") {
            auto [claimed, fresh] = deviceLines.emplace(section->camera.deviceIndex, lineNumber);
            if (!fresh)
                return failAt(lineNumber, "duplicate device index " + std::to_string(section->camera.deviceIndex) +
                                              " (first at line " + std::to_string(claimed->second) + ")");
        }
    }
    if (!finish()) return std::nullopt;
    return config;
}

std::optional<Config> loadConfigFile(const std::string& path, std::string& error) {
    CappedFileRead file = readFileCapped(path, kLargestConfigFile);
    switch (file.outcome) {
        case CappedFileRead::Outcome::Absent:
            error = path + ": cannot open: " + std::strerror(ENOENT);
            return std::nullopt;
        case CappedFileRead::Outcome::Failed:
            error = path + ": cannot read: " + file.reason;
            return std::nullopt;
        case CappedFileRead::Outcome::TooLarge:
            error = path + ": larger than 1 MiB, not a configuration file";
            return std::nullopt;
        case CappedFileRead::Outcome::Read:
            break;
    }
    return parseConfig(file.data, path, error);
}

}  // namespace kestrom::sim
