"""python3 -m kestrom3 watch: one line per live frame with its beam results (a quick check)."""
import argparse
import os
import sys

from .errors import FrameTimeout, KestromError
from .live import Subscriber
from .results import method_code, result_items

USAGE = (
    "Usage: python3 -m kestrom3 watch [--serial N] [--frames N] [--timeout SEC] [--method M]\n"
    "                                 [--queue N]\n"
    "  Attaches to the console's camera (--serial: the camera with that serial number; default:\n"
    "  the camera of the tab the console shows) and prints one line per frame:\n"
    "    frame <count> slot <slot> serial <serial> Peak <v> Centroidx <x> Centroidy <y>\n"
    "    BeamWidthx <w> BeamWidthy <h> [IsoDiameterMajor <d> IsoDiameterMinor <d>]\n"
    "  (the names and numbers of kestrom3-frame results; --method knife-edge, the default, or\n"
    "  second-moment). --frames: end after N frames; --timeout: end with status 1 when no frame\n"
    "  has come for SEC seconds (also the wait for the console and camera, default 10).\n"
    "  Ends when the console closes the camera. Exit status: 0 done, 1 failed or timed out, 2 bad usage.\n"
)

SHOWN = ("Peak", "Centroidx", "Centroidy", "BeamWidthx", "BeamWidthy", "IsoDiameterMajor", "IsoDiameterMinor")


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise ValueError(message)


def _positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"{text} is not 1 or more")
    return value


def parse(args):
    parser = _Parser(prog="python3 -m kestrom3 watch", add_help=False)
    parser.add_argument("--serial", type=_positive)
    parser.add_argument("--frames", type=_positive)
    parser.add_argument("--timeout", type=float, default=10.0)
    parser.add_argument("--method", default="knife-edge")
    parser.add_argument("--queue", type=_positive, default=8)
    parser.add_argument("--help", "-h", action="store_true")
    options = parser.parse_args(args)
    method_code(options.method)
    if options.timeout <= 0:
        raise ValueError("--timeout needs a number of seconds above 0")
    return options


def line(frame, method):
    texts = {name: text for name, text, _ in result_items(frame, method)}
    shown = " ".join(f"{name} {texts[name]}" for name in SHOWN if name in texts)
    return f"frame {frame.index} slot {frame.slot} serial {frame.serial} {shown}\n"


def watch_command(args, out, err):
    try:
        options = parse(args)
    except ValueError as e:
        err.write(f"kestrom3: {e}\n{USAGE}".encode())
        return 2
    if options.help:
        out.write(USAGE.encode())
        return 0
    try:
        with Subscriber(serial=options.serial, timeout=options.timeout, queue_size=options.queue) as cam:
            out.write(f"attached slot {cam.slot} serial {cam.serial}\n".encode())
            out.flush()
            cam.start()
            for frame in cam.frames(count=options.frames, timeout=options.timeout):
                out.write(line(frame, options.method).encode())
                out.flush()
            if cam.closed_reason:
                out.write(f"camera closed: {cam.closed_reason}\n".encode())
            if cam.dropped:
                err.write(f"kestrom3: {cam.dropped} frames were dropped: this program fell behind\n".encode())
    except FrameTimeout as e:
        err.write(f"kestrom3: {e}\n".encode())
        return 1
    except KestromError as e:
        err.write(f"kestrom3: {e}\n".encode())
        return 1
    except KeyboardInterrupt:
        pass
    except BrokenPipeError:
        # A reader such as head that has seen enough.
        sys.stdout = None
        os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
    return 0
