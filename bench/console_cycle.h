// The console's own frame path against the simulated driver: the read-and-deliver cycle and its CPU cost.
#pragma once

namespace kestrom::bench {

struct Cycle {
    double cycleUs;    // one frame read into the shared block and delivered on the main thread
    double simReadUs;  // of which spent inside the simulator's read (its copy of the frame included)
};
// No subscriber; the simulator replays a prepared frame that is ready the moment it is asked for.
Cycle consoleCycle(int frames);

struct CpuAt48Hz {
    double consolePercent;   // CPU time of the main and acquisition threads per wall time
    double simReadPercent;   // of which the acquisition thread spent inside the simulator's reads
    double framesPerSecond;  // frames delivered while measured
};
// One camera in chopped operation at 48 Hz, replaying a prepared frame, measured over seconds.
CpuAt48Hz consoleCpuAt48Hz(double seconds);

// The simulator's synthesis of one frame from its beam model, microseconds (median of a run).
double simFrameMicros();

}  // namespace kestrom::bench
