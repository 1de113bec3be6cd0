// Conversions of the gain model.
#include "console/core/gain_model.h"

#include <cmath>
#include <string>

namespace kestrom {

namespace {

int truncToTen(float x) { return (static_cast<int>(x) / 10) * 10; }

}  // namespace

GainTable gainTableFor(std::int32_t method, FactoryInfo& factory, History& history, int reportValue) {
    GainTable table;
    if (method != 0 && method != 1) {
        history.append("Method in error. Gain unreliable: " + std::to_string(reportValue));
        table.gain = kDefaultGainTable;
        for (int i = 0; i < 5; ++i) table.offset[i] = factory.pulseOffset(i);
        return table;
    }
    std::size_t gainAt = method == 0 ? FactoryInfo::kPulseGain : FactoryInfo::kChoppedGain;
    std::size_t offsetAt = method == 0 ? FactoryInfo::kPulseOffset : FactoryInfo::kChoppedOffset;
    if (factory.word(gainAt) == 0 && factory.word(gainAt + 2) == 0) {
        for (int i = 0; i < 5; ++i) factory.setWord(gainAt + 2 * i, static_cast<std::uint16_t>(kDefaultGainTable[i]));
        history.append("Default gain table used.");
    }
    for (int i = 0; i < 5; ++i) {
        table.gain[i] = factory.word(gainAt + 2 * i);
        table.offset[i] = factory.word(offsetAt + 2 * i);
    }
    return table;
}

GainConversion ConvertGain(int gain, std::int32_t method, FactoryInfo& factory, const ConsoleBlock& status,
                           const ConsoleBlock& calibrationCopy, History& history, GainConversion previous) {
    GainTable table = gainTableFor(method, factory, history, gain);
    const auto& g = table.gain;
    const auto& o = table.offset;
    GainConversion result = previous;
    if (gain < g[0]) gain = g[0];
    if (gain > 4095) gain = 4095;
    result.gain = gain;

    int k = -1;
    for (int i = 0; i < 4; ++i) {
        if (g[i] <= gain && gain <= g[i + 1]) {
            k = i;
            break;
        }
    }
    if (k < 0) return result;

    int s = g[k], t = g[k + 1];
    // Two equal entries hold only their own value; take the segment's start rather than divide by zero.
    float m = t == s ? 0.0f : static_cast<float>(gain - s) / static_cast<float>(t - s);
    switch (k) {
        case 0:
            result.factor = 1 + m;
            result.position = truncToTen(200 * m);
            result.offset = gain == s ? o[0] : o[1];
            break;
        case 1:
            result.factor = 2 + 2 * m;
            result.position = 200 + truncToTen(200 * m);
            result.offset = o[2];
            break;
        case 2:
            result.factor = 4 + 4 * m;
            result.position = 400 + truncToTen(400 * m);
            result.offset = o[3];
            break;
        default:
            result.factor = 8 + 2 * m;
            result.position = 800 + truncToTen(200 * m);
            result.offset = o[4];
            break;
    }

    // The offset measured at calibration serves every gain of the calibration gain's segment.
    if (status.statusFlags() & (ConsoleBlock::kCalibrationGood | ConsoleBlock::kCalibrationBad)) {
        int c = calibrationCopy.gain();
        if (c == g[0]) {
            if (c == gain) result.offset = calibrationCopy.offset();
        } else if (s < c && c <= t) {
            result.offset = calibrationCopy.offset();
        }
    }
    return result;
}

int gainFromTracker(int p, const GainTable& table) {
    const auto& g = table.gain;
    double gain;
    if (p < 200)
        gain = g[0] + (g[1] - g[0]) * (0.005 * p);
    else if (p < 400)
        gain = g[1] + (g[2] - g[1]) * (0.005 * (p - 200));
    else if (p < 800)
        gain = g[2] + (g[3] - g[2]) * (0.0025 * (p - 400));
    else
        gain = g[3] + (g[4] - g[3]) * (0.005 * (p - 800));
    return static_cast<int>(gain);
}

int gainFromFactor(double f, const GainTable& table) {
    const auto& g = table.gain;
    double gain;
    if (f > 8)
        gain = g[3] + (g[4] - g[3]) * (0.5 * (f - 8));
    else if (f > 4)
        gain = g[2] + (g[3] - g[2]) * (0.25 * (f - 4));
    else if (f > 2)
        gain = g[1] + (g[2] - g[1]) * (0.5 * (f - 2));
    else
        gain = g[0] + (g[1] - g[0]) * (f - 1);
    return static_cast<int>(gain);
}

}  // namespace kestrom
