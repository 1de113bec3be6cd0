#include "viewer/core/beam_warnings_record.h"

#include <cstdint>
#include <cstring>

namespace kestrom {
namespace {

constexpr char kTag[4] = {'W', 'A', 'R', 'N'};
constexpr std::size_t kBits = sizeof kTag;  // the byte after the tag

enum : std::uint8_t { kWide = 1, kEdge = 2, kLonePeak = 4, kSecondMomentsLost = 8 };

bool tagged(const VasprelHeader& h) { return std::memcmp(h.reserved305, kTag, sizeof kTag) == 0; }

}  // namespace

void recordBeamWarnings(VasprelHeader& h, const BeamWarnings& w) {
    if (!w.any()) {
        if (tagged(h)) std::memset(h.reserved305, 0, kBits + 1);
        return;
    }
    std::memcpy(h.reserved305, kTag, sizeof kTag);
    h.reserved305[kBits] = static_cast<std::uint8_t>(
        (w.widerThanDetector ? kWide : 0) | (w.atFrameEdge ? kEdge : 0) |
        (w.lonePeak ? kLonePeak : 0) | (w.secondMomentsLost ? kSecondMomentsLost : 0));
}

BeamWarnings recordedBeamWarnings(const VasprelHeader& h) {
    if (!tagged(h)) return {};
    const std::uint8_t bits = h.reserved305[kBits];
    return {(bits & kWide) != 0, (bits & kEdge) != 0, (bits & kLonePeak) != 0,
            (bits & kSecondMomentsLost) != 0};
}

}  // namespace kestrom
