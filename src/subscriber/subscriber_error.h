// The misuse errors of the subscriber component: a code and its text, thrown in C++ and returned by the C library.
#pragma once

#include <stdexcept>

namespace kestrom {

enum class SubscriberError {
    CalibrateTab0 = 1,
    PixelCorrectionTab0 = 2,
    GainCorrectionTab0 = 3,
    GainFactorTab0 = 4,
};

inline const char* subscriberErrorText(SubscriberError error) {
    switch (error) {
        case SubscriberError::CalibrateTab0: return "Calibrate requested for tab 0";
        case SubscriberError::PixelCorrectionTab0: return "Pixel correction requested for tab 0";
        case SubscriberError::GainCorrectionTab0: return "Gain correction requested for tab 0";
        case SubscriberError::GainFactorTab0: return "SetGainFactor requested for tab 0";
    }
    return "Unknown subscriber error";
}

// A request that names no camera: nothing was sent and nothing stored.
class SubscriberException : public std::runtime_error {
public:
    explicit SubscriberException(SubscriberError error) : std::runtime_error(subscriberErrorText(error)), error_(error) {}
    SubscriberError error() const { return error_; }

private:
    SubscriberError error_;
};

}  // namespace kestrom
