// Where the bench's threads run, and how much CPU time a thread has used.
#pragma once

#include <ctime>
#include <string>

namespace kestrom::bench {

// Binds the calling thread, and every thread it starts afterwards, to CPU 0. False if refused.
bool pinToCpu0();
// Lets the calling thread, and the threads it starts afterwards, run on every CPU it may use.
bool unpin();
int usableCpuCount();

// CPU time used so far by the thread whose clock this is (CLOCK_THREAD_CPUTIME_ID for the caller).
double cpuSeconds(clockid_t clock);
clockid_t callingThreadClock();

double wallSeconds();

}  // namespace kestrom::bench
