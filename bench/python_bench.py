#!/usr/bin/python3
"""The Python package's frame road, measured: "name: value" lines, all in one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [--programs build/bench]

It starts build/bench/python_bench_console (one simulated camera, a socket and shared-memory names
of its own, each frame notice's send time in a file), build/bench/cold_hops (the machine's own
wake-ups at the camera's pace) and build/bench/beam_results_timing (the C++ core's own time for a
frame's results). docs/bench.md says what each line is.
"""
import argparse
import contextlib
import mmap
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import kestrom3
from kestrom3 import live
from kestrom3.errors import KestromError

NOTICE_SLOTS = 4096
LATENCY_WARM_FRAMES = 24
LATENCY_FRAMES = 240          # five seconds at 48 Hz
RATE_WARM_FRAMES = 500
RATE_FRAMES = 4000
RESULTS_CALLS = 2000


class BenchError(Exception):
    pass


def default_programs():
    # build/python/kestrom3/__init__.py -> build/bench
    return os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(kestrom3.__file__))), "bench")


@contextlib.contextmanager
def bench_console(programs, pace):
    """A console serving one camera: (folder, namespace) while it runs."""
    program = os.path.join(programs, "python_bench_console")
    if not os.access(program, os.X_OK):
        raise BenchError(f"no bench console at {program}: build the target python_bench_console")
    folder = tempfile.mkdtemp(prefix="kestrom-pybench-")
    namespace = f"kestrom-pybench-{os.getpid()}-{pace}-"
    console = subprocess.Popen([program, "--folder", folder, "--namespace", namespace, "--pace", pace],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        line = console.stdout.readline().decode().strip()
        if line != "serving":
            console.wait(timeout=10)
            raise BenchError(f"the bench console did not start: {console.stderr.read().decode().strip()}")
        yield folder, namespace
    finally:
        console.stdin.close()   # its end of input: it stops serving
        try:
            console.wait(timeout=10)
        except subprocess.TimeoutExpired:
            console.kill()
            console.wait()
        shutil.rmtree(folder, ignore_errors=True)
        if console.returncode not in (0, -9):
            raise BenchError(f"the bench console failed: {console.stderr.read().decode().strip()}")


def subscriber(folder, namespace, queue_size=8):
    return live.Subscriber(serial=None, timeout=10, queue_size=queue_size,
                           socket_path=os.path.join(folder, "console.sock"), shm_namespace=namespace)


class NoticeTimes:
    """The console's send time of each frame notice, by frame count."""

    def __init__(self, folder):
        with open(os.path.join(folder, "notice-times"), "rb") as f:
            self._map = mmap.mmap(f.fileno(), NOTICE_SLOTS * 16, access=mmap.ACCESS_READ)

    def sent_ns(self, index):
        count, sent = struct.unpack_from("<qq", self._map, (index % NOTICE_SLOTS) * 16)
        if count != index:
            raise BenchError(f"the console wrote no send time for frame {index} (slot holds {count})")
        return sent

    def close(self):
        self._map.close()


def measure_latency(programs):
    """Medians in microseconds: notice to the loop, notice to the library, library to the loop;
    and one frame for the results."""
    with bench_console(programs, "48hz") as (folder, namespace):
        times = NoticeTimes(folder)
        whole, to_library, to_loop = [], [], []
        frame = None
        try:
            with subscriber(folder, namespace) as cam:
                for n, f in enumerate(cam.frames(count=LATENCY_WARM_FRAMES + LATENCY_FRAMES, timeout=2.0)):
                    pixels = f.pixels
                    now = time.monotonic_ns()
                    if n < LATENCY_WARM_FRAMES:
                        continue
                    sent = times.sent_ns(f.index)
                    whole.append(now - sent)
                    to_library.append(f.received_ns - sent)
                    to_loop.append(now - f.received_ns)
                    frame = f
                del pixels
                if cam.closed_reason is not None:
                    raise BenchError(f"the frames ended early: {cam.closed_reason}")
        finally:
            times.close()
    if frame is None:
        raise BenchError("no frame came from the bench console")
    us = lambda values: statistics.median(values) / 1000.0
    return us(whole), us(to_library), us(to_loop), frame


def measure_cold_hops(programs):
    """The machine's own wake-ups at the camera's pace: {name: microseconds}."""
    program = os.path.join(programs, "cold_hops")
    if not os.access(program, os.X_OK):
        raise BenchError(f"no cold-hop baseline at {program}: build the target cold_hops")
    run = subprocess.run([program], capture_output=True, text=True)
    if run.returncode != 0:
        raise BenchError(f"the cold-hop baseline failed: {run.stderr.strip()}")
    hops = dict(line.split(": ", 1) for line in run.stdout.splitlines())
    try:
        return {name: float(hops[name]) for name in ("cold_socket_hop_us", "cold_thread_hop_us")}
    except (KeyError, ValueError):
        raise BenchError(f"the cold-hop baseline printed {run.stdout.strip()!r}") from None


def measure_rate(programs):
    """Frames per second taken flat out with an empty loop body, and frames the queue dropped."""
    with bench_console(programs, "flat") as (folder, namespace):
        with subscriber(folder, namespace) as cam:
            for _ in cam.frames(count=RATE_WARM_FRAMES, timeout=2.0):
                pass
            dropped0 = cam.dropped
            start = time.perf_counter()
            for _ in cam.frames(count=RATE_FRAMES, timeout=2.0):
                pass
            elapsed = time.perf_counter() - start
            if cam.closed_reason is not None:
                raise BenchError(f"the frames ended early: {cam.closed_reason}")
            return RATE_FRAMES / elapsed, cam.dropped - dropped0


def measure_results(programs, frame):
    """Median microseconds of kestrom3.results(frame, second-moment) and of the C++ core's own."""
    for _ in range(50):
        kestrom3.results(frame, method="second-moment")
    calls = []
    for _ in range(RESULTS_CALLS):
        start = time.perf_counter_ns()
        kestrom3.results(frame, method="second-moment")
        calls.append(time.perf_counter_ns() - start)
    python_us = statistics.median(calls) / 1000.0

    program = os.path.join(programs, "beam_results_timing")
    if not os.access(program, os.X_OK):
        raise BenchError(f"no results timing at {program}: build the target beam_results_timing")
    with tempfile.NamedTemporaryFile(prefix="kestrom-pybench-frame-") as f:
        f.write(bytes(frame.raw_header) + frame.pixels.astype("<i2").tobytes())
        f.flush()
        run = subprocess.run([program, f.name, "--method", "second-moment", "--calls", str(RESULTS_CALLS)],
                             capture_output=True, text=True)
    if run.returncode != 0:
        raise BenchError(f"the results timing failed: {run.stderr.strip()}")
    name, _, value = run.stdout.strip().partition(": ")
    if name != "cpp_second_moments_us":
        raise BenchError(f"the results timing printed {run.stdout.strip()!r}")
    return python_us, float(value)


def measure_frames(programs, suffix):
    """The frame road's lines of one placement of the processes and threads."""
    hops = measure_cold_hops(programs)
    latency, to_library, to_loop, frame = measure_latency(programs)
    for name, value in hops.items():
        print(f"{name}{suffix}: {value:.1f}")
    print(f"python_frame_latency_us{suffix}: {latency:.1f}")
    print(f"python_frame_latency_us_notice_to_library{suffix}: {to_library:.1f}")
    print(f"python_frame_latency_us_library_to_loop{suffix}: {to_loop:.1f}")
    rate, dropped = measure_rate(programs)
    print(f"python_frames_per_second_max{suffix}: {rate:.0f}")
    print(f"python_frames_dropped_at_max{suffix}: {dropped}")
    return frame


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--programs", default=default_programs(),
                        help="the folder of the bench's programs (build/bench)")
    args = parser.parse_args()
    try:
        # Pinned first, as the other benches: the console and the library's thread are started
        # after this and take the placement from the thread that starts them.
        everywhere = os.sched_getaffinity(0)
        try:
            os.sched_setaffinity(0, {0})
            pinned = "applied"
        except OSError as e:
            pinned = f"REFUSED: {e}"
        print(f"cpu_placement: headline figures with every process and thread on CPU 0 "
              f"(sched_setaffinity {pinned}); *_unpinned figures free on {len(everywhere)} CPUs")
        frame = measure_frames(args.programs, "")
        python_us, cpp_us = measure_results(args.programs, frame)
        print(f"python_second_moments_us: {python_us:.2f}")
        print(f"cpp_second_moments_us: {cpp_us:.2f}")
        print(f"python_results_over_cpp: {python_us / cpp_us:.2f}")
        os.sched_setaffinity(0, everywhere)
        measure_frames(args.programs, "_unpinned")
    except (BenchError, KestromError) as e:
        print(f"python_bench: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
