#include "viewer/core/printout_header.h"

#include <ctime>

namespace kestrom {
namespace {

std::string localTime(LogTime t) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The method as the camera's tab shows it.
std::string methodText(const ConsoleBlock& b) {
    switch (b.method()) {
        case 0:
            return b.pulseLockin() == 1 ? "Pulsed, Lockin" : "Pulsed, Auto";
        case 1:
            return b.chopRate() == 0 ? "Chopped, 24 Hz" : "Chopped, 48 Hz";
        default:
            return "Method " + std::to_string(b.method());
    }
}

std::string onOff(std::int32_t v) { return v ? "on" : "off"; }

}  // namespace

std::vector<std::string> printoutHeaderLines(const PrintoutFacts& f) {
    const ConsoleBlock& b = f.settings;
    std::string frames = "each frame";
    if (f.averageOf > 1) frames = "the average of " + std::to_string(f.averageOf) + " frames";
    if (f.sumOf > 1) frames = "the sum of " + std::to_string(f.sumOf) + " frames";
    const std::string energy = f.calibrated ? ", calibrated in" + f.unitsText : "";
    return {
        f.caption,
        "Printed " + localTime(f.printedAt),
        methodText(b) + ", camera gain " + std::to_string(b.gain()) + ", bad-pixel correction " +
            onOff(b.pixelCorrection()) + ", gain correction " + onOff(b.gainCorrection()),
        std::string(f.widthMethod == WidthMethod::SecondMoment
                        ? "Widths by the second moments (ISO 11146)"
                        : "Widths by the knife edge") +
            ", " + frames + energy,
    };
}

}  // namespace kestrom
