// What the frame path cannot beat: one copy of a frame block, and one blocking hand-off between threads.
#pragma once

namespace kestrom::bench {

// One memcpy of a whole frame block (31744 bytes), microseconds.
double memcpyMicros();

// One thread wakes another and waits for its answer, with the same mutex and condition variable
// pair that the console's synchronised call uses; microseconds per round trip.
double threadHandoffMicros();

}  // namespace kestrom::bench
