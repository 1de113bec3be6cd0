// Baseline of the subscriber path: a plain request/reply over a Unix-domain stream socket between two processes.
#pragma once

namespace kestrom::bench {

// A 16-byte request and a 16-byte reply over an AF_UNIX SOCK_STREAM socket pair, the other end
// in a forked process that echoes; microseconds per round trip (median of batches). The child
// inherits the caller's CPU placement. Throws when the child cannot be had.
double rawRoundTripMicros();

}  // namespace kestrom::bench
