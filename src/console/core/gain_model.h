// The gain model of a camera tab: camera gain 0..4095, factor 1.0..10.0 and tracker 0..1000,
// tied segment by segment by the five-entry gain table of the method in use.
#pragma once

#include <array>
#include <cstdint>

#include "camera_records/console_block.h"
#include "camera_records/factory_info.h"
#include "camera_link/history.h"

namespace kestrom {

struct GainTable {
    std::array<int, 5> gain{};     // for the factors 1, 2, 4, 8, 10
    std::array<int, 5> offset{};
};

inline constexpr std::array<int, 5> kDefaultGainTable{410, 820, 2048, 3276, 4095};

// The table of a method (0 pulsed, 1 chopped). A table whose first two gains are 0 is replaced by
// the default table in the console's copy of the record, with its history line. Another method
// value gets the line "Method in error. Gain unreliable: " with reportValue and the default
// gains with the pulsed offsets.
GainTable gainTableFor(std::int32_t method, FactoryInfo& factory, History& history, int reportValue);

struct GainConversion {
    int gain = 0;         // the gain after clamping
    float factor = 0;
    int position = 0;     // tracker
    int offset = 0;
};

// Gain to factor, tracker position and offset. `previous` is what the caller had; it is handed back
// for factor, position and offset when no segment of the table holds the gain.
GainConversion ConvertGain(int gain, std::int32_t method, FactoryInfo& factory, const ConsoleBlock& status,
                           const ConsoleBlock& calibrationCopy, History& history, GainConversion previous = {});

// Tracker position (already a multiple of 10) to gain, truncated toward zero.
int gainFromTracker(int position, const GainTable& table);
// Factor 1.0..10.0 to gain, truncated toward zero.
int gainFromFactor(double factor, const GainTable& table);

}  // namespace kestrom
