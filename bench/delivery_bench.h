// Frame delivery from the console to subscriber processes over the message socket: flat out, and at 48 Hz.
#pragma once

namespace kestrom::bench {

struct FlatOut {
    double cycleUs;           // one frame read, delivered to every subscriber and answered (median of batches)
    double framesPerSecond;   // frames delivered per second over all batches
};
// The simulator replays a prepared frame that is ready the moment it is asked for, so only the
// console's cycle and the subscribers set the pace. 0 subscribers gives the cycle without delivery.
FlatOut deliverFlatOut(int subscribers, double seconds);

struct At48Hz {
    double consoleCpuPercent;   // CPU time of the console's process (every thread) per wall time
    double framesPerSecond;     // frames delivered while measured
};
// One camera in chopped operation at 48 Hz replaying a prepared frame, measured over seconds.
At48Hz deliverAt48Hz(int subscribers, double seconds);

// The longest pause of one camera's frames at 48 Hz when `stopped` of its subscriber processes stop
// at once and one goes on, in milliseconds.
double hungPeersStallMs(int stopped);

}  // namespace kestrom::bench
