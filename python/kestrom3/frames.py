"""Saved frames: frame records (".RAW") and the frame logs the viewer writes, read by the C library."""
import ctypes
import os

import numpy as np

from . import _library
from ._library import FRAME_COLUMNS, FRAME_ROWS, FrameHeader, FrameRecord, lib


class FrameFileError(Exception):
    """A file that is no frame record; the text is the viewer's, naming the file and why."""


def header_fields(header):
    """The header's fields as Python values, in the header's order; the version as text."""
    fields = {}
    for name, kind in FrameHeader._fields_:
        value = getattr(header, name)
        if name == "Version":
            value = value.decode("latin-1")
        elif name.startswith("Reserved"):
            value = bytes(value)
        fields[name] = value
    return fields


class Frame:
    """One saved frame: its pixels as numpy int16 (124, 124) [row, column] as the record holds them,
    its header fields by name, and the frame block's trailer as bytes. A text log record (".CSV")
    has pixels only: its header is empty, raw_header None, its trailer empty."""

    def __init__(self, path, record=None, pixels=None):
        self.path = path
        if record is not None:
            self.raw_header = FrameHeader.from_buffer_copy(record.header)
            self.header = header_fields(self.raw_header)
            self.pixels = np.ctypeslib.as_array(record.pixels).reshape(FRAME_ROWS, FRAME_COLUMNS).copy()
            self.trailer = bytes(record.trailer)
        else:
            self.raw_header = None
            self.header = {}
            self.pixels = pixels
            self.trailer = b""

    def __getattr__(self, name):
        # The header's fields read as attributes too: frame.PixelHScale.
        header = self.__dict__.get("header", {})
        if name in header:
            return header[name]
        raise AttributeError(name)

    def __repr__(self):
        return f"<kestrom3.Frame {self.path!r}>"


def _is_text_log(path):
    return os.path.splitext(os.fsdecode(path))[1].upper() == ".CSV"


def read_frame_csv(path):
    pixels = np.zeros((FRAME_ROWS, FRAME_COLUMNS), dtype=np.int16)
    error = ctypes.create_string_buffer(4096)
    code = lib.k3s_read_frame_csv(os.fsencode(path), pixels.ctypes.data, error, len(error))
    if code == _library.ERR_FILE:
        raise FrameFileError(os.fsdecode(error.value))
    if code != _library.OK:
        raise FrameFileError(f"{os.fsdecode(path)}: {_library.error_text(code)}")
    return Frame(path, pixels=pixels)


def read_frame_record(path):
    record = FrameRecord()
    error = ctypes.create_string_buffer(4096)
    code = lib.k3s_read_frame_record(os.fsencode(path), ctypes.byref(record), error, len(error))
    if code == _library.ERR_FILE:
        raise FrameFileError(os.fsdecode(error.value))
    if code != _library.OK:
        raise FrameFileError(f"{os.fsdecode(path)}: {_library.error_text(code)}")
    return Frame(path, record=record)


def read_frame_file(path):
    """A frame record, or a text log record when its extension is ".CSV"."""
    return read_frame_csv(path) if _is_text_log(path) else read_frame_record(path)


def log_file(log_name, k):
    """File k (1, 2, ...) of the frame log named log_name: "beam.RAW" gives "beam000001.RAW"."""
    name = os.fsencode(log_name)
    length = ctypes.c_size_t()
    text = ctypes.create_string_buffer(len(name) + 32)
    code = lib.k3s_frame_log_file(name, k, text, len(text), ctypes.byref(length))
    if code != _library.OK:
        raise ValueError(f"{os.fsdecode(log_name)}: {_library.error_text(code)}")
    return text.value if isinstance(log_name, bytes) else os.fsdecode(text.value)


def read_frames(path):
    """The frames of a frame record, or of the frame log typed as path ("beam.RAW" for
    beam000001.RAW, beam000002.RAW, ...), in the log's order. Files named ".CSV" are text log
    records: pixels only (results() takes their pitch as a bare array's).

    A log ends at its first missing file; the empty file a running log keeps waiting for its next
    frame ends it too. A file that is no frame record raises FrameFileError with the viewer's text.
    """
    if os.path.lexists(path):
        return [read_frame_file(path)]
    frames = []
    k = 1
    while True:
        name = log_file(path, k)
        if not os.path.lexists(name):
            break
        if os.path.isfile(name) and os.path.getsize(name) == 0 and not os.path.lexists(log_file(path, k + 1)):
            break
        frames.append(read_frame_file(name))
        k += 1
    if not frames:
        # Neither a record nor a log: the reader's own words for the name given.
        read_frame_file(path)
    return frames
