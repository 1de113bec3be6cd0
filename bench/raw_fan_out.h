// The floor under a delivery to N subscriber processes: the same socket work and copy, with no console and no client library.
#pragma once

namespace kestrom::bench {

// N forked processes, each on its own AF_UNIX SOCK_STREAM socket pair. Per frame the caller writes
// a 31744-byte shared block, then for each process in turn writes a 40-byte notice, polls and reads
// the 40-byte answer; the process polls, reads the notice, copies the block out and answers.
// Microseconds per process and frame (median of batches). Throws when a process cannot be had.
double rawFanOutMicros(int processes);

}  // namespace kestrom::bench
