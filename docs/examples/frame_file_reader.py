#!/usr/bin/env python3
"""Reads the frame files of the Kestrom III viewer into a 124 x 124 array and prints what they hold.

A ".RAW" frame record (saved with "Save data" or written by "Log data to disk") gives its header
fields and its pixels; a ".CSV" frame log ("Log data to disk as ASCII") gives its pixels. The
layout of both is in docs/frame-files.md. Only the standard library is needed; with numpy installed
the pixels come as a numpy array of int16.

    python3 frame_file_reader.py beam000001.RAW beam000001.CSV
"""

import os
import struct
import sys

ROWS = COLUMNS = 124
RECORD_SIZE = 48448
HEADER_OFFSET = 16384
BLOCK_OFFSET = 16704
TRAILER_SIZE = 992

# The 320-byte header: little-endian, no padding (doubles sit at unaligned offsets).
HEADER_FIELDS = [
    ("Version", "8s"), ("DateTime", "d"), ("Height", "i"), ("Width", "i"), ("PixelBits", "i"),
    ("CaptureResolution", "i"), ("PixelHScale", "d"), ("PixelVScale", "d"), ("Interlaced", "i"),
    ("FrameTotal", "d"), ("ApertureTotal", "d"), ("ApertureFrac", "d"), ("Peak", "d"), ("Valley", "d"),
    ("PeakLocx", "i"), ("PeakLocy", "i"), ("Centroidx", "d"), ("Centroidy", "d"), ("BeamWidthx", "d"),
    ("BeamWidthy", "d"), ("Diameter", "d"), ("Divergencex", "d"), ("Divergencey", "d"),
    ("EffectiveArea", "d"), ("ZLocation", "i"), ("WheelA", "i"), ("FilterA", "d"), ("WheelB", "i"),
    ("FilterB", "d"), ("BloomTop", "d"), ("BloomBottom", "d"), ("FlagPass", "i"), ("FlagFail", "i"),
    ("FlagFrameTotal", "i"), ("FlagBeamWidthx", "i"), ("FlagBeamWidthy", "i"), ("FlagDivergencex", "i"),
    ("FlagDivergencey", "i"), ("FlagEffectiveArea", "i"), ("CenterXLoc", "d"), ("CenterYLoc", "d"),
    ("Major", "d"), ("Minor", "d"), ("Flags", "i"), ("AC", "i"), ("RS", "i"), ("Unused284", "i"),
    ("Mean", "d"), ("Deviation", "d"), ("Exclude", "B"), ("Reserved", "15s"),
]
HEADER_FORMAT = "<" + "".join(code for _, code in HEADER_FIELDS)
assert struct.calcsize(HEADER_FORMAT) == 320

try:
    import numpy
except ImportError:
    numpy = None


class NotAFrameFile(Exception):
    pass


def as_array(values):
    """124 x 124 pixels, row 0 first: a numpy array when numpy is there, else a list of rows."""
    if numpy is not None:
        return numpy.array(values, dtype=numpy.int16).reshape(ROWS, COLUMNS)
    return [list(values[r * COLUMNS:(r + 1) * COLUMNS]) for r in range(ROWS)]


def read_record(path):
    """The header fields, the header text and the pixels of a ".RAW" frame record."""
    with open(path, "rb") as f:
        data = f.read(RECORD_SIZE + 1)
    if len(data) != RECORD_SIZE:
        raise NotAFrameFile(f"{path} is not a frame record: {len(data)} bytes, a record has {RECORD_SIZE}")
    values = struct.unpack_from(HEADER_FORMAT, data, HEADER_OFFSET)
    header = dict(zip((name for name, _ in HEADER_FIELDS), values))
    header["Version"] = header["Version"].split(b"\0", 1)[0].decode("latin-1")
    if (header["Height"], header["Width"]) != (ROWS, COLUMNS):
        raise NotAFrameFile(f"{path} is not a frame record: its header gives {header['Height']} x {header['Width']}")
    text = data[:HEADER_OFFSET].split(b"\0", 1)[0].decode("latin-1")
    pixels = struct.unpack_from(f"<{ROWS * COLUMNS}h", data, BLOCK_OFFSET)
    trailer = data[BLOCK_OFFSET + 2 * ROWS * COLUMNS:]
    assert len(trailer) == TRAILER_SIZE
    return header, text, as_array(pixels), trailer


def read_csv(path):
    """The pixels of a ".CSV" frame log: 124 lines of 124 values, each line ending with LF CR."""
    with open(path, "rb") as f:
        data = f.read()
    lines = data.split(b"\n\r")
    if lines and lines[-1] == b"":
        lines.pop()
    if len(lines) != ROWS:
        raise NotAFrameFile(f"{path} is not a frame log: {len(lines)} lines, a log has {ROWS}")
    values = []
    for number, line in enumerate(lines):
        row = line.split(b",")
        if len(row) != COLUMNS:
            raise NotAFrameFile(f"{path} is not a frame log: line {number + 1} holds {len(row)} values")
        try:
            values.extend(int(v) for v in row)
        except ValueError:
            raise NotAFrameFile(f"{path} is not a frame log: line {number + 1} holds no numbers") from None
    return as_array(values)


def summary(pixels):
    flat = [int(v) for row in pixels for v in row]
    return (f"pixels {len(pixels)} x {len(pixels[0])}: first {flat[0]} last {flat[-1]} "
            f"min {min(flat)} max {max(flat)} sum {sum(flat)}")


def main(paths):
    if not paths:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for path in paths:
        try:
            if os.path.splitext(path)[1].upper() == ".CSV":
                print(f"{path}: frame log")
                print(summary(read_csv(path)))
            else:
                header, text, pixels, trailer = read_record(path)
                print(f"{path}: frame record")
                for name, _ in HEADER_FIELDS:
                    if name != "Reserved":
                        print(f"{name}: {header[name]}")
                print(f"header text: {len(text.splitlines())} lines")
                print(summary(pixels))
                print(f"trailer: {len(trailer)} bytes")
        except (OSError, NotAFrameFile) as e:
            print(f"error: {e}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
