// CPU affinity and per-thread CPU clocks of the bench.
#include "cpu_placement.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>

namespace kestrom::bench {

namespace {
cpu_set_t initialSet;
bool initialKnown = [] { return sched_getaffinity(0, sizeof initialSet, &initialSet) == 0; }();
}  // namespace

bool pinToCpu0() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

bool unpin() { return initialKnown && sched_setaffinity(0, sizeof initialSet, &initialSet) == 0; }

int usableCpuCount() { return initialKnown ? CPU_COUNT(&initialSet) : 1; }

double cpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

clockid_t callingThreadClock() {
    clockid_t clock = CLOCK_THREAD_CPUTIME_ID;
    pthread_getcpuclockid(pthread_self(), &clock);
    return clock;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace kestrom::bench
