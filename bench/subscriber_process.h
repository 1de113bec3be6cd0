// Subscriber programs of the delivery bench: forked processes that take every frame of the shown camera.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace kestrom::bench {

// Each process connects to the console at socketPath (trying again until it listens), asks for the
// shown tab's frames with 1326 and, inside every 1326 handler, copies the whole frame block named
// blockPrefix and the slot out of shared memory, as a subscriber program does. It leaves when the
// console says the slot is closing or goes away.
class SubscriberProcesses {
public:
    // Forks them; the caller should have no other threads yet (each child is single-threaded).
    SubscriberProcesses(int count, const std::string& socketPath, const std::string& blockPrefix);
    // Ends and reaps those still running.
    ~SubscriberProcesses();
    SubscriberProcesses(const SubscriberProcesses&) = delete;
    SubscriberProcesses& operator=(const SubscriberProcesses&) = delete;

    // Stops the first count processes (SIGSTOP) at once, as a debugger pauses a program.
    void stopFirst(int count);

    // Waits for every process to end; true when each connected and copied at least one frame.
    bool join(std::chrono::milliseconds limit);

private:
    std::vector<pid_t> pids_;
    bool allWell_ = true;
};

}  // namespace kestrom::bench
